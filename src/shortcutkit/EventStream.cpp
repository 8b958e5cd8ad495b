#include "shortcutkit/EventStream.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/base/MainQueue.h"
#include "shortcutkit/CarbonShortcutTable.h"
#include "shortcutkit/Handlers.h"

namespace tavlin::shortcutkit {

struct EventStream::State {
    Name name;
    std::optional<EventType> only; // keep events of this type alone
    Callback callback;
    bool queued = true; // set up and torn down on the main queue
    // Main thread only.
    bool subscribed = false;
    std::vector<std::uint64_t> tokens;
    // Shared with consumers on other threads.
    mutable std::mutex mutex;
    std::condition_variable available;
    std::deque<EventType> buffer;
    bool ended = false;

    explicit State(Name n) : name(std::move(n)) {}

    void deliver(EventType type) {
        if (only && *only != type) return;
        {
            std::lock_guard lock(mutex);
            if (ended) return;
            if (!callback) {
                buffer.push_back(type);
                available.notify_all();
                return;
            }
        }
        const auto copy = callback;
        copy(type);
    }
};

namespace {

void subscribe(const std::shared_ptr<EventStream::State>& state, std::initializer_list<EventType> types) {
    {
        std::lock_guard lock(state->mutex);
        if (state->ended) return;
    }
    const std::weak_ptr<EventStream::State> weak = state;
    for (const EventType type : types) {
        state->tokens.push_back(detail::addStreamCallback(state->name, type, [weak, type] {
            if (const auto alive = weak.lock()) alive->deliver(type);
        }));
    }
    state->subscribed = true;
    registerName(state->name);
    CarbonShortcutTable::synchronize();
}

void unsubscribe(const std::shared_ptr<EventStream::State>& state) {
    if (!state->subscribed) return;
    state->subscribed = false;
    for (const auto token : state->tokens) detail::removeStreamCallback(state->name, token);
    state->tokens.clear();
    detail::unregisterIfUnused(state->name);
    CarbonShortcutTable::synchronize();
}

EventStream::State* fresh(const Name& name, std::optional<EventType> only, EventStream::Callback callback, bool queued) {
    auto* state = new EventStream::State(name);
    state->only = only;
    state->callback = std::move(callback);
    state->queued = queued;
    return state;
}

} // namespace

EventStream::~EventStream() { end(); }

EventStream& EventStream::operator=(EventStream&& other) noexcept {
    if (this != &other) {
        end();
        state_ = std::move(other.state_);
    }
    return *this;
}

void EventStream::end() {
    if (!state_) return;
    const auto state = std::move(state_);
    {
        std::lock_guard lock(state->mutex);
        state->ended = true;
        state->available.notify_all();
    }
    if (state->queued) MainQueue::shared().post([state] { unsubscribe(state); });
    else unsubscribe(state);
}

bool EventStream::isLive() const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    return !state_->ended;
}

std::optional<EventType> EventStream::next() {
    const auto state = state_;
    if (!state) return std::nullopt;
    std::unique_lock lock(state->mutex);
    state->available.wait(lock, [&] { return !state->buffer.empty() || state->ended; });
    if (state->buffer.empty()) return std::nullopt;
    const EventType type = state->buffer.front();
    state->buffer.pop_front();
    return type;
}

std::optional<EventType> EventStream::tryNext() {
    const auto state = state_;
    if (!state) return std::nullopt;
    std::lock_guard lock(state->mutex);
    if (state->buffer.empty()) return std::nullopt;
    const EventType type = state->buffer.front();
    state->buffer.pop_front();
    return type;
}

EventStream events(const Name& name, EventStream::Callback callback) {
    std::shared_ptr<EventStream::State> state(fresh(name, std::nullopt, std::move(callback), true));
    MainQueue::shared().post([state] { subscribe(state, {EventType::keyDown, EventType::keyUp}); });
    return EventStream(state);
}

EventStream events(EventType type, const Name& name, EventStream::Callback callback) {
    std::shared_ptr<EventStream::State> state(fresh(name, type, std::move(callback), true));
    MainQueue::shared().post([state] { subscribe(state, {EventType::keyDown, EventType::keyUp}); });
    return EventStream(state);
}

EventStream eventStream(EventType type, const Name& name, EventStream::Callback callback) {
    std::shared_ptr<EventStream::State> state(fresh(name, type, std::move(callback), false));
    subscribe(state, {type});
    return EventStream(state);
}

} // namespace tavlin::shortcutkit
