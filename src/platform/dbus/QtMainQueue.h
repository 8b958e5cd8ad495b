#pragma once

#include <map>
#include <memory>

#include "platform/base/MainQueue.h"

class QObject;
class QTimer;

namespace tavlin {

// The main queue on the Qt event loop of the thread that makes it. Tasks posted with post(),
// or after a delay of zero, run in posting order; delayed tasks run at their time, those due at
// the same time in posting order. Destroying the queue drops whatever is still pending.
class QtMainQueue : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(Task task) override;
    TimerID postAfter(double seconds, Task task) override;
    void cancel(TimerID timer) override;
    double now() const override;

    std::size_t pendingCount() const { return pending_.size(); }

private:
    struct Pending {
        Task task;
        QTimer* timer = nullptr; // none when queued for the next turn
    };
    void run(TimerID id);

    // Queued calls and timers belong to it, so none outlives the queue.
    std::unique_ptr<QObject> context_;
    std::map<TimerID, Pending> pending_;
    TimerID nextID_ = 1;
};

} // namespace tavlin
