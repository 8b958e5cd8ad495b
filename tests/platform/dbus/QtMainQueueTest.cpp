#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "platform/dbus/QtMainQueue.h"

namespace tavlin {
namespace {

using test::spinFor;
using test::spinUntil;

TEST(QtMainQueueTest, TasksRunInLaterTurnsInPostingOrder) {
    QtMainQueue queue;
    std::vector<std::string> ran;
    queue.post([&] {
        ran.push_back("a");
        queue.post([&] { ran.push_back("a-posted"); });
    });
    queue.postAfter(0, [&] { ran.push_back("b"); });
    queue.postAfter(-1, [&] { ran.push_back("c"); });
    queue.post([&] { ran.push_back("d"); });
    EXPECT_TRUE(ran.empty()); // nothing runs inside post()

    ASSERT_TRUE(spinUntil([&] { return ran.size() == 5; }));
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c", "d", "a-posted"}));
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(QtMainQueueTest, DelayedTasksRunByDueTimeAndNotEarly) {
    QtMainQueue queue;
    std::vector<std::pair<std::string, double>> ran;
    const double start = queue.now();
    auto note = [&](std::string name) { return [&ran, &queue, name] { ran.emplace_back(name, queue.now()); }; };
    queue.postAfter(0.09, note("late"));
    queue.postAfter(0.03, note("early"));
    queue.postAfter(0.06, note("middle"));
    queue.post(note("now"));

    ASSERT_TRUE(spinUntil([&] { return ran.size() == 4; }));
    ASSERT_EQ(ran.size(), 4u);
    EXPECT_EQ(ran[0].first, "now");
    EXPECT_EQ(ran[1].first, "early");
    EXPECT_EQ(ran[2].first, "middle");
    EXPECT_EQ(ran[3].first, "late");
    // now() counts seconds: the last task ran at least 0.09 s after the start, well within 5 s.
    EXPECT_GE(ran[3].second - start, 0.09 - 0.001);
    EXPECT_LT(ran[3].second - start, 5.0);
}

TEST(QtMainQueueTest, CancelledTasksNeverRun) {
    QtMainQueue queue;
    std::vector<std::string> ran;
    const auto delayed = queue.postAfter(0.02, [&] { ran.push_back("delayed"); });
    const auto nextTurn = queue.postAfter(0, [&] { ran.push_back("next turn"); });
    MainQueue::TimerID cancelledByATask = 0;
    queue.post([&] { queue.cancel(cancelledByATask); });
    cancelledByATask = queue.postAfter(0, [&] { ran.push_back("cancelled by a task"); });
    queue.postAfter(0.04, [&] { ran.push_back("kept"); });
    queue.cancel(delayed);
    queue.cancel(nextTurn);
    queue.cancel(9999);    // unknown: ignored
    queue.cancel(delayed); // twice: ignored

    ASSERT_TRUE(spinUntil([&] { return !ran.empty(); }));
    spinFor(std::chrono::milliseconds(30));
    EXPECT_EQ(ran, (std::vector<std::string>{"kept"}));
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(QtMainQueueTest, TasksStillPendingWhenTheQueueGoesAwayNeverRun) {
    int calls = 0;
    {
        QtMainQueue queue;
        queue.post([&] { ++calls; });
        queue.postAfter(0.01, [&] { ++calls; });
    }
    spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace tavlin
