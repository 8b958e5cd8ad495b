#include "platform/base/Diagnostics.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace tavlin::diag {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

Sink& currentSink() {
    static Sink sink;
    return sink;
}

struct Limit {
    double windowStart = 0;
    int printed = 0;
    std::size_t leftOut = 0;
};

std::mutex& limitMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, Limit, std::less<>>& limits() {
    static std::map<std::string, Limit, std::less<>> map;
    return map;
}

std::function<double()>& limitClock() {
    static std::function<double()> clock;
    return clock;
}

double limitNow() {
    if (limitClock()) return limitClock()();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

constexpr std::array<std::string_view, 7> categoryNames{"general", "keys", "session", "actions", "files", "bus", "editor"};

unsigned silencedBits(std::string_view names) {
    unsigned bits = 0;
    while (!names.empty()) {
        const auto comma = names.find(',');
        std::string_view name = names.substr(0, comma);
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        for (std::size_t i = 0; i < categoryNames.size(); ++i) {
            if (categoryNames[i] == name) bits |= 1U << i;
        }
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    }
    return bits;
}

std::atomic<unsigned>& silenced() {
    static std::atomic<unsigned> bits = [] {
        const char* names = std::getenv(silenceVariable);
        return silencedBits(names ? names : "");
    }();
    return bits;
}

bool isSilenced(Category category) {
    return (silenced().load(std::memory_order_relaxed) >> static_cast<unsigned>(category)) & 1U;
}

} // namespace

std::string_view categoryName(Category category) { return categoryNames.at(static_cast<std::size_t>(category)); }

void silence(std::string_view names) { silenced().store(silencedBits(names), std::memory_order_relaxed); }

void printLimited(Category category, std::string_view kind, std::string_view line) {
    if (isSilenced(category)) return;
    std::string summary;
    {
        std::lock_guard lock(limitMutex());
        auto found = limits().find(kind);
        if (found == limits().end()) found = limits().emplace(std::string(kind), Limit{limitNow(), 0, 0}).first;
        Limit& limit = found->second;
        const double now = limitNow();
        if (now - limit.windowStart >= 1.0) {
            if (limit.leftOut > 0) {
                summary = std::to_string(limit.leftOut) + " more lines of the kind \"" + std::string(kind) + "\" were left out";
            }
            limit = Limit{now, 0, 0};
        }
        if (limit.printed >= burstLines) {
            ++limit.leftOut;
            return;
        }
        ++limit.printed;
    }
    if (!summary.empty()) printLine(category, summary);
    printLine(category, line);
}

void resetLimits(std::function<double()> clock) {
    std::lock_guard lock(limitMutex());
    limits().clear();
    limitClock() = std::move(clock);
}

void printLine(Category category, std::string_view line) {
    if (isSilenced(category)) return;
    std::lock_guard lock(sinkMutex());
    if (auto& sink = currentSink()) {
        sink(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

Sink setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

struct Capture::State {
    std::mutex mutex;
    std::vector<std::string> lines;
};

Capture::Capture() : state_(std::make_shared<State>()) {
    // Each capture starts with fresh limits, so earlier tests cannot hide its lines.
    resetLimits();
    auto state = state_;
    previous_ = setSink([state](std::string_view line) {
        std::lock_guard lock(state->mutex);
        state->lines.emplace_back(line);
    });
}

Capture::~Capture() { setSink(std::move(previous_)); }

std::vector<std::string> Capture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

void Capture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

} // namespace tavlin::diag
