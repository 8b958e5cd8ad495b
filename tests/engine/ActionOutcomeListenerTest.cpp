#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

class ActionOutcomeListenerTest : public EngineTest {
protected:
    ActionOutcomeListener& listener = ActionOutcomeListener::shared();

    // A wait that records what reaches it under `label`.
    ActionOutcomeListener::Continuation recordingAs(std::string label) {
        return [this, label](const ActionOutcome& outcome) { received.emplace_back(label, outcome); };
    }

    void postLocally(const ActionOutcome& outcome) { NotificationCenter::local().post(notification(outcome)); }

    std::vector<std::pair<std::string, ActionOutcome>> received;
};

TEST_F(ActionOutcomeListenerTest, LocalOutcomeIsDeliveredBeforeThePostReturns) {
    listener.waitForOutcome(recordingAs("wait"));
    postLocally(keyOutcome(4));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].second, keyOutcome(4));
    EXPECT_FALSE(listener.isWaiting());
    EXPECT_EQ(distributed.observerCount(), 0u) << "both observers go once the wait is satisfied";
}

// The next step arms its own wait from inside the continuation; the second outcome goes there.
TEST_F(ActionOutcomeListenerTest, BackToBackOutcomesReachSuccessiveWaits) {
    listener.waitForOutcome([this](const ActionOutcome& outcome) {
        received.emplace_back("first", outcome);
        listener.waitForOutcome(recordingAs("second"));
    });
    distributed.post(notification(messageOutcome("from afar")));
    postLocally(keyOutcome(1)); // the local one arrives first although posted later
    queue.runUntilIdle();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], std::make_pair(std::string("first"), keyOutcome(1)));
    EXPECT_EQ(received[1], std::make_pair(std::string("second"), messageOutcome("from afar")));
}

TEST_F(ActionOutcomeListenerTest, OutcomeAfterTheSatisfiedWaitReachesNobody) {
    listener.waitForOutcome(recordingAs("only"));
    postLocally(keyOutcome(1));
    distributed.post(notification(keyOutcome(2)));
    queue.runUntilIdle();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].second, keyOutcome(1));
}

TEST_F(ActionOutcomeListenerTest, UndecodableNotificationLeavesTheWaitArmed) {
    listener.waitForOutcome(recordingAs("wait"));
    const std::string name(notificationNames::actionOutcomeEvent);
    diag::Capture capture;
    NotificationCenter::local().post({name, "not json"});
    NotificationCenter::local().post({name, std::nullopt});
    distributed.post({name, R"({"key": {"keyCode": "nine"}})"});
    queue.runUntilIdle();
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(listener.isWaiting());
    // Each bad notification: the decoder's empty line, then the listener's.
    EXPECT_EQ(capture.lines(), std::vector<std::string>(6, ""));

    postLocally(keyOutcome(49));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].second, keyOutcome(49));
}

TEST_F(ActionOutcomeListenerTest, CancelDropsTheWait) {
    listener.cancel(); // idle: nothing to do
    EXPECT_FALSE(listener.isWaiting());

    listener.waitForOutcome(recordingAs("cancelled"));
    listener.cancel();
    EXPECT_FALSE(listener.isWaiting());
    EXPECT_EQ(distributed.observerCount(), 0u);
    postLocally(keyOutcome(1));
    distributed.post(notification(keyOutcome(1)));
    queue.runUntilIdle();
    EXPECT_TRUE(received.empty());
    listener.cancel(); // twice is harmless
}

TEST_F(ActionOutcomeListenerTest, NewWaitReplacesTheArmedOne) {
    listener.waitForOutcome(recordingAs("replaced"));
    listener.waitForOutcome(recordingAs("current"));
    EXPECT_EQ(distributed.observerCount(), 1u);
    distributed.post(notification(keyOutcome(1)));
    postLocally(keyOutcome(2));
    queue.runUntilIdle();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], std::make_pair(std::string("current"), keyOutcome(2)));
}

TEST_F(ActionOutcomeListenerTest, OtherNotificationNamesAreNotWatched) {
    listener.waitForOutcome(recordingAs("wait"));
    diag::Capture capture;
    const auto outcome = notification(keyOutcome(1));
    NotificationCenter::local().post({std::string(notificationNames::externalEvent), outcome.object});
    distributed.post({std::string(notificationNames::helperActionEvent), outcome.object});
    queue.runUntilIdle();
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(listener.isWaiting());
}

} // namespace
} // namespace tavlin::test
