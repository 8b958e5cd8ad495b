#include "engine/ActionStatistics.h"
#include "engine/EngineHarness.h"
#include "engine/RunDecision.h"
#include "model/Settings.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;

class SessionTest : public EngineTest {};

// The binding a new user starts with, walked the way the leader key walks it: the frontmost
// application and the leader key are reported as messages, then the typed key opens the app.
TEST_F(SessionTest, DefaultBindingRunsEndToEnd) {
    ASSERT_TRUE(settings::storeDefaultFlatRowsIfNeverStored());
    Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();
    workspace.frontmost = RunningApplication{42, "/usr/share/applications/editor.desktop", "editor", "Editor", "/usr/bin/editor"};
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::command);

    diag::Capture capture;
    startSession();
    EXPECT_TRUE(window.isKeyWindow());
    ASSERT_TRUE(InputWindowManager::shared().currentStates());
    // Root, then the other-applications chance, then the leader-key chance: three decisions.
    EXPECT_EQ(InputWindowManager::shared().currentStates()->history.size(), 2u);

    typeKey(1);
    EXPECT_FALSE(window.isKeyWindow());
    ASSERT_EQ(workspace.launchedApplications.size(), 1u);
    EXPECT_EQ(workspace.launchedApplications[0], "/Applications/Safari.app");
    EXPECT_TRUE(alerts.empty());

    const auto lines = capture.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "chances empty, success end, current history: 4"), lines.end());
    EXPECT_EQ(settings::suggestedDisabledApplicationPaths(), std::vector<std::string>{"/usr/share/applications/editor.desktop"});
}

TEST_F(SessionTest, ActionsRunAfterTheWaitIsArmedInListOrder) {
    std::vector<std::string> order;
    workspace.openURLSucceeds = true;
    writeConfiguration(
        Decision::make({act(K::openURL{"https://a.example", std::nullopt}), act(K::openURL{"https://b.example", std::nullopt})},
                       {keyChance(0, {})}));
    window.makeKeyAndOrderFront();
    // Nothing has run yet: the step only queued the actions, and the wait is armed.
    EXPECT_TRUE(workspace.openedURLs.empty());
    EXPECT_TRUE(ActionOutcomeListener::shared().isWaiting());
    queue.runUntilIdle();
    EXPECT_EQ(workspace.openedURLs, (std::vector<std::string>{"https://a.example", "https://b.example"}));
}

TEST_F(SessionTest, NoMatchEndsTheSession) {
    writeConfiguration(Decision::make({}, {keyChance(0, {act(K::openFinder{})})}));
    diag::Capture capture;
    startSession();
    typeKey(11);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(workspace.openedURLs.empty());
    const auto lines = capture.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "no further match and stop, current history: 1"), lines.end());
}

TEST_F(SessionTest, MessageFromAnotherProcessIsMatchedWholly) {
    writeConfiguration(Decision::make({}, {messageChance("open.*", {act(K::openURL{"https://x.example", std::nullopt})})}));
    startSession();
    postFromAnotherProcess(notification(ActionOutcome(ActionOutcome::message{"reopen"})));
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(workspace.openedURLs.empty());

    startSession();
    postFromAnotherProcess(notification(ActionOutcome(ActionOutcome::message{"open safari"})));
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{"https://x.example"});
}

TEST_F(SessionTest, LeafActionsAreCountedOnce) {
    const Action leaf = act(K::openURL{"https://count.example", std::nullopt});
    writeConfiguration(Decision::make({}, {keyChance(0, {leaf})}));
    EXPECT_EQ(ActionStatistics::count(leaf), 0);
    startSession();
    typeKey(0);
    EXPECT_EQ(ActionStatistics::count(leaf), 1);
    // A reload gives new identifiers, but the count belongs to the content.
    EXPECT_EQ(ActionStatistics::count(act(K::openURL{"https://count.example", std::nullopt})), 1);
}

TEST_F(SessionTest, ContinueFromInterruptionRunsTheRestOnce) {
    writeConfiguration(Decision::make(
        {}, {keyChance(0, {act(K::openURL{"https://first.example", std::nullopt}), act(K::continueFromInterruption{0.5}),
                           act(K::openURL{"https://second.example", std::nullopt})})}));
    startSession();
    typeKey(0);
    // The leaf ended the session; its first part ran, the rest waits for the resume.
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{"https://first.example"});
    queue.advance(0.5);
    EXPECT_EQ(workspace.openedURLs, (std::vector<std::string>{"https://first.example", "https://second.example"}));
    queue.advance(1);
    EXPECT_EQ(workspace.openedURLs.size(), 2u);
}

} // namespace
} // namespace tavlin::test
