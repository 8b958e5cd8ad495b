#include "platform/Diagnostics.h"

#include <cstdio>
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

} // namespace

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
