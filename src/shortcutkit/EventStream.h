#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "shortcutkit/Name.h"

namespace tavlin::shortcutkit {

// A subscription to the presses and releases of a named shortcut, alive until it is destroyed
// or ended. Each event goes to the main-thread callback when there is one, else into an
// unbounded buffer that `next()` takes from on any thread. Made and ended on the main thread.
class EventStream {
public:
    using Callback = std::function<void(EventType)>;

    EventStream() = default;
    ~EventStream();
    EventStream(EventStream&& other) noexcept = default;
    EventStream& operator=(EventStream&& other) noexcept;
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // Waits for the next event; nothing once the stream has ended and its buffer is drained.
    std::optional<EventType> next();
    // The next buffered event without waiting.
    std::optional<EventType> tryNext();
    // Ends the subscription; later events are not delivered.
    void end();
    bool isLive() const;

    struct State;

private:
    friend EventStream events(const Name&, Callback);
    friend EventStream events(EventType, const Name&, Callback);
    friend EventStream eventStream(EventType, const Name&, Callback);
    explicit EventStream(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

// Presses and releases of the name. Set up and torn down in later turns of the main queue,
// so a stream ended before its set-up ran never subscribes.
EventStream events(const Name& name, EventStream::Callback callback = {});
// The same, keeping only events of one type.
EventStream events(EventType type, const Name& name, EventStream::Callback callback = {});
// Events of one type, subscribed at once and unsubscribed at once when it ends.
EventStream eventStream(EventType type, const Name& name, EventStream::Callback callback = {});

} // namespace tavlin::shortcutkit
