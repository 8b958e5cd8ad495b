#include "engine/ActionStatistics.h"
#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;
using Event = InputWindowManager::WindowEvent;

class InputWindowManagerTest : public EngineTest {
protected:
    InputWindowManager& manager = InputWindowManager::shared();

    // A root that does nothing but wait: key 1 leads to a decision that waits for key 1 again,
    // key 2 to a leaf.
    void writeWaitingRoot() { writeConfiguration(Decision::make({}, {keyChance(1, {}, {keyChance(1, {})}), keyChance(2, {})})); }

    // The hint turns on exactly `seconds` after the window became key.
    void expectHintAfter(double seconds) {
        startSession();
        queue.advance(seconds - 0.001);
        EXPECT_FALSE(manager.showingHint());
        queue.advance(0.002);
        EXPECT_TRUE(manager.showingHint());
        window.orderOut();
        EXPECT_FALSE(manager.showingHint());
    }
};

TEST_F(InputWindowManagerTest, PressAndReleaseGiveOneKeyOutcomeOnRelease) {
    writeWaitingRoot();
    startSession();
    OutcomeRecorder recorder;
    window.press(7);
    EXPECT_TRUE(recorder.outcomes.empty());
    window.release(7);
    ASSERT_EQ(recorder.outcomes.size(), 1u);
    EXPECT_EQ(recorder.outcomes[0], keyOutcome(7));
}

TEST_F(InputWindowManagerTest, ReleaseWithoutItsPressEndsTheSession) {
    writeWaitingRoot();
    startSession();
    OutcomeRecorder recorder;
    window.press(1);
    window.release(2);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(recorder.outcomes.empty());

    startSession();
    window.release(1); // released a key pressed before the window opened
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(recorder.outcomes.empty());
}

TEST_F(InputWindowManagerTest, PressBeforeTheSessionEndedDoesNotCarryOver) {
    writeWaitingRoot();
    startSession();
    window.press(1);
    window.orderOut();
    startSession();
    OutcomeRecorder recorder;
    window.release(1);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(recorder.outcomes.empty());
}

TEST_F(InputWindowManagerTest, BareLeaderKeyGivesNoOutcome) {
    writeWaitingRoot();
    currentLeaderKey() = HotKey::combo(49, 0);
    startSession();
    OutcomeRecorder recorder;
    window.type(49);
    EXPECT_TRUE(recorder.outcomes.empty());
    EXPECT_TRUE(window.isKeyWindow()) << "the session goes on";
    window.type(1);
    EXPECT_EQ(recorder.outcomes, std::vector<ActionOutcome>{keyOutcome(1)});

    // With modifiers the leader key's own key is an ordinary key.
    currentLeaderKey() = HotKey::combo(49, carbon::command);
    startSession();
    recorder.outcomes.clear();
    window.type(49);
    EXPECT_EQ(recorder.outcomes, std::vector<ActionOutcome>{keyOutcome(49)});
}

TEST_F(InputWindowManagerTest, SessionTimestamps) {
    writeWaitingRoot();
    const double start = queue.now();
    startSession();
    EXPECT_EQ(manager.sessionTimestamp, start);
    EXPECT_EQ(manager.sessionLastActivityTimestamp, start);
    queue.advance(1);
    window.press(1);
    EXPECT_EQ(manager.sessionLastActivityTimestamp, start + 1);
    queue.advance(1);
    window.release(1);
    EXPECT_EQ(manager.sessionLastActivityTimestamp, start + 2);
    EXPECT_EQ(manager.sessionTimestamp, start);
    window.orderOut();
    EXPECT_FALSE(manager.sessionTimestamp);
    EXPECT_FALSE(manager.sessionLastActivityTimestamp);
    EXPECT_FALSE(manager.currentStates());
}

TEST_F(InputWindowManagerTest, EveryStartOpensTheHelperAndShowsTheIndicator) {
    int helperOpens = 0;
    ShellServices::shared().openHelperApplication = [&helperOpens] { ++helperOpens; };
    writeWaitingRoot();
    currentLeaderKey() = HotKey::combo(49, carbon::command | carbon::shift);
    startSession();
    EXPECT_TRUE(indicator.visible);
    EXPECT_EQ(indicator.shownTexts, std::vector<std::string>{"Super+Shift+Space"});
    window.orderOut();
    EXPECT_FALSE(indicator.visible);
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::option);
    startSession();
    EXPECT_EQ(indicator.shownTexts.back(), "Alt");
    EXPECT_EQ(helperOpens, 2);
}

// Looking for the helper asks the bus and the window system: it must not stand between the
// leader key and the keyboard grab or the session's first step.
TEST_F(InputWindowManagerTest, TheHelperIsLookedForOnlyAfterTheSessionHasStarted) {
    int helperOpens = 0;
    bool sessionRanFirst = false;
    ShellServices::shared().openHelperApplication = [&] {
        sessionRanFirst = manager.currentStates().has_value();
        ++helperOpens;
    };
    writeWaitingRoot();
    window.makeKeyAndOrderFront();
    EXPECT_EQ(helperOpens, 0);
    EXPECT_TRUE(manager.currentStates().has_value());
    queue.runUntilIdle();
    EXPECT_EQ(helperOpens, 1);
    EXPECT_TRUE(sessionRanFirst);
}

TEST_F(InputWindowManagerTest, IndicatorStaysHiddenWhenTurnedOff) {
    settingsStore()->set(settings::keys::hideLeaderKeyIndicator, true);
    writeWaitingRoot();
    startSession();
    window.orderOut();
    EXPECT_TRUE(indicator.shownTexts.empty());
}

TEST_F(InputWindowManagerTest, IndicatorTurnedOffDuringASessionStillLeavesWithIt) {
    writeWaitingRoot();
    startSession();
    ASSERT_TRUE(indicator.visible);
    settingsStore()->set(settings::keys::hideLeaderKeyIndicator, true);
    window.orderOut();
    EXPECT_FALSE(indicator.visible);
}

TEST_F(InputWindowManagerTest, HintDelayIsAtLeastATenthOfASecond) {
    writeWaitingRoot();
    expectHintAfter(0.1); // default 0
    settingsStore()->set(settings::keys::showHintAfterSeconds, -3.0);
    expectHintAfter(0.1);
    settingsStore()->set(settings::keys::showHintAfterSeconds, std::string("soon"));
    expectHintAfter(0.1);
    settingsStore()->set(settings::keys::showHintAfterSeconds, 2.0);
    expectHintAfter(2);
    settingsStore()->set(settings::keys::showHintAfterSeconds, std::int64_t{1});
    expectHintAfter(1);
}

TEST_F(InputWindowManagerTest, ResignBeforeTheHintCancelsIt) {
    writeWaitingRoot();
    settingsStore()->set(settings::keys::inputWindowTopLeftPositionString, std::string("{300, 700}"));
    settingsStore()->set(settings::keys::inputWindowWidthDouble, 640.0);
    const Rect before = window.frame();
    startSession();
    queue.advance(0.05);
    window.orderOut();
    EXPECT_EQ(queue.pendingTimerCount(), 0u);
    queue.advance(5);
    EXPECT_FALSE(manager.showingHint());
    EXPECT_EQ(window.frame(), before) << "neither width nor position applied";
    EXPECT_EQ(window.centerCount, 0);
}

TEST_F(InputWindowManagerTest, SavedPlaceAndWidthAreAppliedWithTheHint) {
    writeWaitingRoot();
    settingsStore()->set(settings::keys::inputWindowTopLeftPositionString, std::string("{300, 700}"));
    settingsStore()->set(settings::keys::inputWindowWidthDouble, 640.0);
    startSession();
    queue.advance(0.1);
    EXPECT_EQ(window.frame().width, 640) << "the width comes with the hint";
    queue.advance(0.001);
    EXPECT_EQ(window.frame(), (Rect{300, 400, 640, 300}));
    EXPECT_EQ(window.centerCount, 0);
}

TEST_F(InputWindowManagerTest, UnusableSavedPlaceCentresTheWindow) {
    writeWaitingRoot();
    for (const std::string saved : {"{0, 0}", "somewhere", "{1, }", "{nan, 3}", "{5000, 5000}", "{-200, 700}"}) {
        SCOPED_TRACE(saved);
        settingsStore()->set(settings::keys::inputWindowTopLeftPositionString, saved);
        window.setFrame({100, 100, 400, 300});
        window.centerCount = 0;
        startSession();
        queue.advance(0.2);
        EXPECT_GE(window.centerCount, 1);
        EXPECT_EQ(window.frame(), (Rect{760, 390, 400, 300}));
        window.orderOut();
    }
}

TEST_F(InputWindowManagerTest, NoScreenCentresTheWindow) {
    writeWaitingRoot();
    settingsStore()->set(settings::keys::inputWindowTopLeftPositionString, std::string("{300, 700}"));
    window.screen = {0, 0, 0, 0};
    startSession();
    queue.advance(0.2);
    EXPECT_GE(window.centerCount, 1);
}

TEST_F(InputWindowManagerTest, ResignSavesThePlaceAndWidth) {
    writeWaitingRoot();
    startSession();
    window.setFrame({10, 20, 500, 200});
    diag::Capture capture;
    window.orderOut();
    EXPECT_EQ(settings::inputWindowTopLeftPositionString(), "{10, 220}");
    EXPECT_EQ(settings::inputWindowWidthDouble(), 500);
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "top leading position saved: {10, 220}"));

    // The next session opens where this one ended.
    startSession();
    window.setFrame({0, 0, 500, 200});
    queue.advance(0.2);
    EXPECT_EQ(window.frame(), (Rect{10, 20, 500, 200}));
}

TEST_F(InputWindowManagerTest, ZeroSizedWindowSavesNothing) {
    writeWaitingRoot();
    startSession();
    window.setFrame({10, 20, 0, 0});
    diag::Capture capture;
    window.orderOut();
    EXPECT_FALSE(settings::inputWindowTopLeftPositionString());
    EXPECT_FALSE(settings::inputWindowWidthDouble());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "zero size window, no position saved"));
}

TEST_F(InputWindowManagerTest, ReactivationStartsANewSessionAfterEachEnd) {
    int rootRuns = 0;
    ShellServices::shared().toggleConfigurationWindow = [&rootRuns] { ++rootRuns; };
    writeConfiguration(Decision::make({act(K::toggleConfigurationWindow{})}, {keyChance(1, {})}));
    manager.requireReactivateOnce = true;
    startSession();
    EXPECT_EQ(rootRuns, 1);
    typeKey(1); // the leaf ends the session
    EXPECT_TRUE(window.isKeyWindow()) << "a new session follows at once";
    EXPECT_EQ(rootRuns, 2);

    manager.requireReactivateOnce = false;
    typeKey(1);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 2);
}

TEST_F(InputWindowManagerTest, ReactivationThatWasSwitchedOffMeanwhileDoesNothing) {
    writeWaitingRoot();
    manager.requireReactivateOnce = true;
    startSession();
    window.orderOut();
    manager.requireReactivateOnce = false; // before the queued reactivation runs
    queue.runUntilIdle();
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(InputWindowManagerTest, ResignHandlerRunsOnceAfterTheWindowIsGone) {
    writeWaitingRoot();
    startSession();
    int calls = 0;
    bool windowWasKey = true;
    manager.didResignHandler = [&] {
        ++calls;
        windowWasKey = window.isKeyWindow();
    };
    window.orderOut();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(windowWasKey);
    EXPECT_FALSE(manager.didResignHandler);
    startSession();
    window.orderOut();
    EXPECT_EQ(calls, 1);
}

TEST_F(InputWindowManagerTest, InvalidConfigurationIsReportedAndTheWindowStaysOpen) {
    const auto path = Configuration::fileURL();
    ASSERT_TRUE(path);
    writeFile(*path, "{ this is not a configuration");
    startSession();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Invalid configuration file");
    EXPECT_FALSE(alerts[0].informativeText.empty());
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_FALSE(ActionOutcomeListener::shared().isWaiting());

    // Keys typed now reach nobody.
    typeKey(1);
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(InputWindowManagerTest, MissingConfigurationIsReportedAsInvalid) {
    startSession();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Invalid configuration file");
}

TEST_F(InputWindowManagerTest, EmptyRootIsReported) {
    writeConfiguration(Decision::make());
    startSession();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Empty actions and chances in configuration");
    EXPECT_EQ(alerts[0].informativeText, "");
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(InputWindowManagerTest, WaitAgainLeafRestartsFromTheRootWithTheWindowOpen) {
    std::vector<std::string> order;
    ShellServices::shared().toggleConfigurationWindow = [&order] { order.push_back("root"); };
    const Action leafAction = act(K::sleep{});
    const Action waitAgain = act(K::reWaitTriggerKeys{});
    writeConfiguration(Decision::make({act(K::toggleConfigurationWindow{})}, {keyChance(1, {leafAction, waitAgain})}));
    startSession();
    const double firstStart = *manager.sessionTimestamp;
    queue.advance(1);

    window.type(1);
    EXPECT_TRUE(window.isKeyWindow());
    ASSERT_TRUE(manager.currentStates());
    EXPECT_TRUE(manager.currentStates()->history.empty()) << "the new session starts with an empty history";
    EXPECT_EQ(manager.sessionTimestamp, firstStart + 1);
    EXPECT_TRUE(ActionOutcomeListener::shared().isWaiting());
    EXPECT_EQ(ActionStatistics::count(leafAction), 1);
    EXPECT_EQ(ActionStatistics::count(waitAgain), 1);

    // The leaf's own action is queued before the root's.
    ShellServices::shared().toggleConfigurationWindow = [this, &order] {
        order.push_back(helperRequests().size() == 1 ? "root after leaf" : "root before leaf");
    };
    queue.runUntilIdle();
    EXPECT_EQ(order, (std::vector<std::string>{"root", "root after leaf"}));

    // The restarted session works like any other.
    typeKey(1);
    EXPECT_EQ(ActionStatistics::count(leafAction), 2);
}

TEST_F(InputWindowManagerTest, ChangesOfTheWaitingStateAreAnnouncedBeforeTheyAreStored) {
    writeWaitingRoot();
    std::vector<bool> hadStatesWhenAnnounced;
    const auto token = manager.addChangeObserver([&] { hadStatesWhenAnnounced.push_back(manager.currentStates().has_value()); });
    startSession();
    window.orderOut();
    manager.removeChangeObserver(token);
    // Storing the root's wait (announced while still empty), then clearing it.
    ASSERT_GE(hadStatesWhenAnnounced.size(), 2u);
    EXPECT_FALSE(hadStatesWhenAnnounced.front());
    EXPECT_TRUE(std::find(hadStatesWhenAnnounced.begin(), hadStatesWhenAnnounced.end(), true) != hadStatesWhenAnnounced.end());
}

} // namespace
} // namespace tavlin::test
