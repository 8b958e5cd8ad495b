#include "engine/ActionStatistics.h"
#include "engine/EngineHarness.h"
#include "engine/RunDecision.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;

class SessionTest : public EngineTest {};

// The binding a new user starts with, walked the way the leader key walks it: the frontmost
// application and the leader key are reported as messages, then the typed key runs the row.
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
    // No browser is known here: the row stands in for one and says so.
    EXPECT_TRUE(workspace.launchedApplications.empty());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].informativeText, "No web browser was found on this system.");

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

// A generated tree first matches the frontmost application and the leader key, both reported
// by the session's own actions. Keys typed before those texts are handled wait for them, and
// are then matched in the order they were typed.
class HeldKeysTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        storeRows(LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
        workspace.frontmost = RunningApplication{42, "/usr/share/applications/editor.desktop", "editor", "Editor",
                                                 "/usr/bin/editor"};
        workspace.openURLSucceeds = true;
        currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::command);
    }

    void storeRows(const LeaderKey& leader) {
        const auto row = [&](std::vector<std::int64_t> keys, const std::string& url) {
            return FlatKeysAndActionRow(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), std::move(keys),
                                        act(K::openURL{url, std::nullopt}), false, leader);
        };
        ASSERT_FALSE(settings::setFlatKeysAndActionRows(
            {row({0, 11}, "https://ab.example"), row({8}, "https://c.example"), row({0, 8}, "https://ac.example")}));
        Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();
    }

    // The leader key's window takes the keyboard and the keys come before any turn of the loop.
    void typeAtTheGrab(std::initializer_list<int> keys) {
        window.makeKeyAndOrderFront();
        for (const int key : keys) window.type(key);
        queue.runUntilIdle();
    }
};

TEST_F(HeldKeysTest, KeysTypedBeforeTheReportedTextsRunTheirBindingInOrder) {
    diag::Capture capture;
    // A then B is a binding; C after it comes once the session has ended, and opens nothing.
    typeAtTheGrab({0, 11, 8});
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{"https://ab.example"});
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "chances empty, success end, current history: 5"));

    // The same keys the other way round: A then C.
    typeAtTheGrab({0, 8});
    EXPECT_EQ(workspace.openedURLs, (std::vector<std::string>{"https://ab.example", "https://ac.example"}));

    // Held keys end with their session, and so do the texts it asked for: the next one starts
    // with neither.
    window.makeKeyAndOrderFront();
    window.type(8);
    window.orderOut();
    startSession();
    EXPECT_TRUE(window.isKeyWindow());
    typeKey(8);
    EXPECT_EQ(workspace.openedURLs.size(), 3u);
    EXPECT_EQ(workspace.openedURLs.back(), "https://c.example");
}

// A hold leader key that keeps its status waits again after each binding: the keys typed after
// the first binding's go on to the session that starts over.
TEST_F(HeldKeysTest, KeysHeldPastAWaitAgainLeafRunTheirBindingInTheNextSession) {
    storeRows(LeaderKey::hold(false, 3));
    currentLeaderKey() = HotKey::combo(3, 0);
    typeAtTheGrab({8, 0, 11, 8});
    EXPECT_EQ(workspace.openedURLs, (std::vector<std::string>{"https://c.example", "https://ab.example", "https://c.example"}));
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_TRUE(ActionOutcomeListener::shared().isWaiting());
}

TEST_F(HeldKeysTest, AKeyThatMatchesNothingStillEndsTheSessionAfterTheTexts) {
    diag::Capture capture;
    typeAtTheGrab({1});
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(workspace.openedURLs.empty());
    const auto lines = capture.lines();
    // Matched at the trigger keys, after the application and the leader key were.
    EXPECT_TRUE(diagnosticsContain(lines, "no further match and stop, current history: 3"));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("no further match and stop", 0) == 0; }),
              1);
}

} // namespace
} // namespace tavlin::test
