#include "platform/Diagnostics.h"

#include <chrono>
#include <cstdio>
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

} // namespace

void printLimited(std::string_view kind, std::string_view line) {
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
    if (!summary.empty()) printLine(summary);
    printLine(line);
}

void resetLimits(std::function<double()> clock) {
    std::lock_guard lock(limitMutex());
    limits().clear();
    limitClock() = std::move(clock);
}

void printLine(std::string_view line) {
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
