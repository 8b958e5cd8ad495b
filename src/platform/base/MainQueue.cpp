#include "platform/base/MainQueue.h"

#include <cassert>

namespace tavlin {
namespace {

MainQueue*& sharedQueue() {
    static MainQueue* queue = nullptr;
    return queue;
}

} // namespace

MainQueue& MainQueue::shared() {
    assert(sharedQueue() && "the main queue is installed at start-up");
    return *sharedQueue();
}

void MainQueue::setShared(MainQueue* queue) { sharedQueue() = queue; }

void VirtualMainQueue::post(Task task) { postAfter(0, std::move(task)); }

MainQueue::TimerID VirtualMainQueue::postAfter(double seconds, Task task) {
    const TimerID id = nextID_++;
    const double due = now_ + (seconds > 0 ? seconds : 0);
    timers_.emplace(std::make_pair(due, nextSequence_++), Timer{due, id, std::move(task)});
    return id;
}

void VirtualMainQueue::cancel(TimerID timer) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.id == timer) {
            timers_.erase(it);
            return;
        }
    }
}

bool VirtualMainQueue::runOne() {
    if (timers_.empty() || timers_.begin()->second.due > now_) return false;
    Task task = std::move(timers_.begin()->second.task);
    timers_.erase(timers_.begin());
    task();
    return true;
}

std::size_t VirtualMainQueue::runUntilIdle() {
    std::size_t count = 0;
    while (runOne()) ++count;
    return count;
}

void VirtualMainQueue::advance(double seconds) {
    const double end = now_ + seconds;
    runUntilIdle();
    while (!timers_.empty() && timers_.begin()->second.due <= end) {
        now_ = timers_.begin()->second.due;
        runUntilIdle();
    }
    now_ = end;
    runUntilIdle();
}

} // namespace tavlin
