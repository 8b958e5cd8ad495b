#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace tavlin {

// The main thread's run loop as the engine sees it: work posted for a later turn, work posted
// after a delay, and the clock. Everything that touches shared state runs on it.
class MainQueue {
public:
    using Task = std::function<void()>;
    using TimerID = std::uint64_t;

    virtual ~MainQueue() = default;

    // Runs `task` in a later turn, after every task posted before it.
    virtual void post(Task task) = 0;
    // Runs `task` once, `seconds` from now. The answer cancels it.
    virtual TimerID postAfter(double seconds, Task task) = 0;
    // Drops a pending delayed task; unknown or finished identifiers are ignored.
    virtual void cancel(TimerID timer) = 0;
    // Seconds since 1 January 1970.
    virtual double now() const = 0;

    // The queue of this process: the application installs the event loop's, tests a virtual one.
    static MainQueue& shared();
    static void setShared(MainQueue* queue);
};

// A queue on simulated time for tests: nothing runs until the test turns the loop, and time
// moves only when the test advances it.
class VirtualMainQueue : public MainQueue {
public:
    explicit VirtualMainQueue(double startTime = 1'700'000'000.0) : now_(startTime) {}

    void post(Task task) override;
    TimerID postAfter(double seconds, Task task) override;
    void cancel(TimerID timer) override;
    double now() const override { return now_; }

    // Runs posted tasks (including ones they post) until none is left; due timers too.
    // Answers how many tasks ran.
    std::size_t runUntilIdle();
    // Moves the clock forward, running every task and timer that falls due on the way, in order.
    void advance(double seconds);
    std::size_t pendingTimerCount() const { return timers_.size(); }

private:
    struct Timer {
        double due;
        TimerID id;
        Task task;
    };
    bool runOne();

    double now_;
    TimerID nextID_ = 1;
    std::uint64_t nextSequence_ = 0;
    // Ordered by due time, then by posting order: immediate tasks are timers due now.
    std::map<std::pair<double, std::uint64_t>, Timer> timers_;
};

} // namespace tavlin
