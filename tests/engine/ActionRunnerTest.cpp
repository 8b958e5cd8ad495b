#include "engine/ActionRunner.h"
#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;

Keystroke keystroke(int code, bool cmd = false, bool shift = false, bool option = false, bool control = false) {
    return Keystroke{code, cmd, shift, option, control};
}

Action setRequireReactivateOnce(bool value) {
    using Method = InternalMethodInfo::MethodKind;
    return act(
        K::internalMethod{InternalMethodInfo{Method{Method::setRequireReactivateOnce{SetRequireReactivateOnceParams{value}}}}});
}

class ActionRunnerTest : public EngineTest {
protected:
    // Runs one action outside any session, as the step does, and lets its turn finish.
    void runAlone(const Action& action) {
        run(action, Decision::make({action}), {});
        queue.runUntilIdle();
    }

    // The text the action returns, as posted on the local centre.
    std::vector<ActionOutcome> outcomesOf(const Action& action) {
        OutcomeRecorder recorder;
        runAlone(action);
        return recorder.outcomes;
    }

    // The one helper request the action posts.
    nlohmann::json onlyRequestOf(const Action& action) {
        distributed.clearPosted();
        runAlone(action);
        const auto requests = helperRequestsUnordered();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? nlohmann::json() : requests[0];
    }

    InputWindowManager& manager = InputWindowManager::shared();
};

// A root that waits for keys 1..3; key 1 leads to a decision that waits again.
DecisionPtr waitingRoot(std::vector<Action> actions) {
    return Decision::make(std::move(actions), {keyChance(1, {}, {keyChance(1, {})}), keyChance(2, {}), keyChance(3, {})});
}

TEST_F(ActionRunnerTest, HelperRequestsCarryTheirPayloads) {
    EXPECT_EQ(onlyRequestOf(act(K::menu{{"File", "", "Save"}})), unorderedJson(R"({"menu": {"menuItems": ["File", "Save"]}})"));
    EXPECT_EQ(onlyRequestOf(act(K::menu{{"", ""}})), unorderedJson(R"({"menu": {"menuItems": []}})"));
    EXPECT_EQ(onlyRequestOf(act(K::menuCommand{{"File->Save"}})),
              unorderedJson(R"({"menuCommand": {"info": {"menuTitle": "File->Save"}}})"));
    EXPECT_EQ(onlyRequestOf(act(K::executeFile{"/opt/run.sh", std::nullopt})),
              unorderedJson(R"({"executeFile": {"path": "/opt/run.sh"}})"));
    EXPECT_EQ(onlyRequestOf(act(K::executeFile{"~/run.sh", ""})),
              unorderedJson(R"({"executeFile": {"path": "~/run.sh", "argumentsText": ""}})"))
        << "paths and arguments go unchanged";
    EXPECT_EQ(onlyRequestOf(act(K::switchInputMethod{"xkb:de::ger"})),
              unorderedJson(R"({"switchInputMethod": {"inputSourceID": "xkb:de::ger"}})"));
    EXPECT_EQ(onlyRequestOf(act(K::switchWindow{})), unorderedJson(R"({"switchWindow": {}})"));
    EXPECT_EQ(onlyRequestOf(act(K::sleep{})), unorderedJson(R"({"sleep": {}})"));
}

TEST_F(ActionRunnerTest, KindsWithoutATextPostNoOutcome) {
    ShellServices::shared().toggleConfigurationWindow = [] {};
    for (const auto& action :
         {act(K::sleep{}), act(K::reWaitTriggerKeys{}), act(K::toggleConfigurationWindow{}), act(K::notification{"n"})}) {
        EXPECT_TRUE(outcomesOf(action).empty());
    }
    // Waiting again is the step's business; on its own the action does nothing at all.
    distributed.clearPosted();
    runAlone(act(K::reWaitTriggerKeys{}));
    EXPECT_TRUE(distributed.posted().empty());
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(ActionRunnerTest, NotificationIsABannerWithoutSubtitle) {
    runAlone(act(K::notification{"Coffee"}));
    notifications.granted = false; // delivered even when refused
    runAlone(act(K::notification{"Coffee"}));
    ASSERT_EQ(notifications.delivered.size(), 2u);
    for (const auto& request : notifications.delivered) {
        EXPECT_EQ(request.title, "Coffee");
        EXPECT_FALSE(request.subtitle);
        EXPECT_TRUE(request.defaultSound);
    }
    EXPECT_NE(notifications.delivered[0].identifier, notifications.delivered[1].identifier);
}

TEST_F(ActionRunnerTest, ToggleConfigurationWindowAsksTheShell) {
    int toggles = 0;
    ShellServices::shared().toggleConfigurationWindow = [&toggles] { ++toggles; };
    runAlone(act(K::toggleConfigurationWindow{}));
    EXPECT_EQ(toggles, 1);
    ShellServices::shared().toggleConfigurationWindow = nullptr;
    runAlone(act(K::toggleConfigurationWindow{})); // before the shell installs it: nothing
}

TEST_F(ActionRunnerTest, InternalMethodSetsReactivation) {
    runAlone(setRequireReactivateOnce(true));
    EXPECT_TRUE(manager.requireReactivateOnce);
    runAlone(setRequireReactivateOnce(false));
    EXPECT_FALSE(manager.requireReactivateOnce);
}

TEST_F(ActionRunnerTest, SimulatedKeystrokeCodes) {
    EXPECT_EQ(onlyRequestOf(act(K::simulateKeystroke{keystroke(0, true, true, true, true)})),
              unorderedJson(R"({"simulateKeystroke": {"code": 6912}})"));
    EXPECT_EQ(onlyRequestOf(act(K::simulateKeystroke{keystroke(1, true, true)})),
              unorderedJson(R"({"simulateKeystroke": {"code": 769}})"));
    EXPECT_EQ(onlyRequestOf(act(K::simulateKeystroke{keystroke(36)})), unorderedJson(R"({"simulateKeystroke": {"code": 36}})"));
    EXPECT_EQ(onlyRequestOf(act(K::simulateKeystroke{keystroke(0, false, false, true)})),
              unorderedJson(R"({"simulateKeystroke": {"code": 2048}})"));
    EXPECT_EQ(onlyRequestOf(act(K::simulateKeystroke{keystroke(0, false, false, false, true)})),
              unorderedJson(R"({"simulateKeystroke": {"code": 4096}})"));
}

TEST_F(ActionRunnerTest, SimulatedKeystrokeIsSentWithTheLeaderKeysSwitchedOff) {
    std::vector<std::string> calls;
    ShellServices::shared().unregisterAllLeaderKeys = [&] {
        calls.push_back("unregister, requests: " + std::to_string(helperRequests().size()));
    };
    ShellServices::shared().reloadLeaderKeys = [&](bool skipHotKeys) {
        calls.push_back(std::string("reload ") + (skipHotKeys ? "true" : "false") +
                        ", requests: " + std::to_string(helperRequests().size()));
    };
    runAlone(act(K::simulateKeystroke{keystroke(1, true, true)}));
    EXPECT_EQ(calls, (std::vector<std::string>{"unregister, requests: 0", "reload false, requests: 1"}));
}

TEST_F(ActionRunnerTest, SimulatedKeystrokeWaitsUntilTheWindowResigned) {
    bool windowKeyAtUnregister = true;
    ShellServices::shared().unregisterAllLeaderKeys = [&] { windowKeyAtUnregister = window.isKeyWindow(); };
    writeConfiguration(waitingRoot({}));
    startSession();
    run(act(K::simulateKeystroke{keystroke(0, true)}), Decision::make(), {});
    EXPECT_FALSE(window.isKeyWindow()) << "the keystroke ends the session";
    EXPECT_FALSE(windowKeyAtUnregister);
    queue.runUntilIdle();
    ASSERT_EQ(helperRequestsUnordered().size(), 1u);
    EXPECT_EQ(helperRequestsUnordered()[0], unorderedJson(R"({"simulateKeystroke": {"code": 256}})"));

    // Later sessions end without sending it again.
    startSession();
    window.orderOut();
    EXPECT_EQ(helperRequests().size(), 1u);
}

TEST_F(ActionRunnerTest, StopAfterDelayEndsAnIdleSession) {
    writeConfiguration(waitingRoot({act(K::stopKeySequenceAfterDelay{2, std::nullopt})}));
    startSession();
    queue.advance(1.999);
    EXPECT_TRUE(window.isKeyWindow());
    queue.advance(0.002);
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(ActionRunnerTest, StopAfterDelayIsCancelledByActivityByDefault) {
    for (const std::optional<bool> ignoreIfNewActivity : {std::optional<bool>{}, std::optional<bool>{true}}) {
        writeConfiguration(waitingRoot({act(K::stopKeySequenceAfterDelay{2, ignoreIfNewActivity})}));
        startSession();
        queue.advance(1);
        typeKey(1); // the session moves on: the stop no longer applies
        queue.advance(5);
        EXPECT_TRUE(window.isKeyWindow());
        window.orderOut();
    }
}

TEST_F(ActionRunnerTest, StopAfterDelayThatIgnoresActivityEndsTheSessionAnyway) {
    writeConfiguration(waitingRoot({act(K::stopKeySequenceAfterDelay{2, false})}));
    startSession();
    queue.advance(1);
    typeKey(1);
    EXPECT_TRUE(window.isKeyWindow());
    queue.advance(1.001);
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(ActionRunnerTest, StopAfterDelaySparesALaterSession) {
    for (const std::optional<bool> ignoreIfNewActivity : {std::optional<bool>{}, std::optional<bool>{false}}) {
        writeConfiguration(waitingRoot({act(K::stopKeySequenceAfterDelay{2, ignoreIfNewActivity})}));
        startSession();
        queue.advance(1);
        window.orderOut();
        writeConfiguration(waitingRoot({}));
        queue.advance(0.5);
        startSession(); // a new session began meanwhile
        queue.advance(5);
        EXPECT_TRUE(window.isKeyWindow());
        window.orderOut();
    }
}

TEST_F(ActionRunnerTest, StopAfterDelayOutsideAnySessionStopsNothingLater) {
    // Both stamps absent when it runs; a session that starts later has them set.
    runAlone(act(K::stopKeySequenceAfterDelay{1, std::nullopt}));
    writeConfiguration(waitingRoot({}));
    startSession();
    queue.advance(2);
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(ActionRunnerTest, ContinueFromInterruptionResumesAfterItsDelayWithTheRest) {
    writeConfiguration(Decision::make(
        {}, {keyChance(1, {act(K::simulateKeystroke{keystroke(5)}), act(K::continueFromInterruption{1}), act(K::switchWindow{})},
                       {keyChance(2, {act(K::sleep{})})})}));
    startSession();
    typeKey(1);
    // The keystroke closed the window; the rest waits for the resume.
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(helperRequests().size(), 1u);
    queue.advance(0.999);
    EXPECT_FALSE(window.isKeyWindow());
    queue.advance(0.002);
    EXPECT_TRUE(window.isKeyWindow());
    const auto requests = helperRequestsUnordered();
    ASSERT_EQ(requests.size(), 2u) << "the rest runs once";
    EXPECT_EQ(requests[1], unorderedJson(R"({"switchWindow": {}})"));
    ASSERT_TRUE(manager.currentStates());
    EXPECT_EQ(manager.currentStates()->history.size(), 1u);
    ASSERT_EQ(manager.currentStates()->decision->chances.size(), 1u);
    EXPECT_EQ(manager.currentStates()->decision->chances[0]->pattern.kind, Pattern::Kind::key{{2}});

    typeKey(2);
    EXPECT_EQ(helperRequests().size(), 3u);
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(ActionRunnerTest, ResumedSessionKeepsItsStart) {
    writeConfiguration(
        Decision::make({}, {keyChance(1, {act(K::continueFromInterruption{1}), act(K::switchWindow{})}, {keyChance(2, {})})}));
    startSession();
    const double sessionStart = *manager.sessionTimestamp;
    queue.advance(0.2);
    typeKey(1);
    window.orderOut(); // the user went elsewhere before the resume
    queue.advance(2);
    ASSERT_TRUE(window.isKeyWindow());
    EXPECT_EQ(manager.sessionTimestamp, sessionStart);
    ASSERT_TRUE(manager.sessionLastActivityTimestamp);
    EXPECT_NEAR(*manager.sessionLastActivityTimestamp, sessionStart + 1.2, 1e-6);
    EXPECT_EQ(helperRequests().size(), 1u);
}

TEST_F(ActionRunnerTest, ContinueFromInterruptionWaitsAtLeastAFewHundredthsOfASecond) {
    writeConfiguration(Decision::make({}, {keyChance(1, {act(K::simulateKeystroke{keystroke(5)}),
                                                         act(K::continueFromInterruption{0}), act(K::switchWindow{})})}));
    startSession();
    typeKey(1);
    queue.advance(0.049);
    EXPECT_EQ(helperRequests().size(), 1u);
    queue.advance(0.002);
    EXPECT_EQ(helperRequests().size(), 2u);
    EXPECT_FALSE(window.isKeyWindow()) << "the resumed leaf ends the session again";
}

TEST_F(ActionRunnerTest, ContinueFromInterruptionAsLastActionResumesAtTheChances) {
    writeConfiguration(
        Decision::make({}, {keyChance(1, {act(K::simulateKeystroke{keystroke(5)}), act(K::continueFromInterruption{0})},
                                      {keyChance(3, {act(K::sleep{})})})}));
    startSession();
    typeKey(1);
    queue.advance(0.1);
    ASSERT_TRUE(window.isKeyWindow());
    ASSERT_TRUE(manager.currentStates());
    EXPECT_TRUE(manager.currentStates()->decision->actions.empty());
    ASSERT_EQ(manager.currentStates()->decision->chances.size(), 1u);
    EXPECT_EQ(manager.currentStates()->decision->chances[0]->pattern.kind, Pattern::Kind::key{{3}});
    typeKey(3);
    EXPECT_EQ(helperRequests().size(), 2u);
}

// Nothing closed the window: the resume still runs what followed the interruption, once.
TEST_F(ActionRunnerTest, ContinueFromInterruptionWhileTheWindowStaysOpenRunsTheRest) {
    writeConfiguration(Decision::make(
        {}, {keyChance(1, {act(K::continueFromInterruption{0.5}), act(K::switchWindow{})}, {keyChance(2, {act(K::sleep{})})})}));
    startSession();
    typeKey(1);
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_TRUE(helperRequests().empty());
    queue.advance(0.6);
    EXPECT_TRUE(window.isKeyWindow());
    ASSERT_EQ(helperRequestsUnordered().size(), 1u);
    EXPECT_EQ(helperRequestsUnordered()[0], unorderedJson(R"({"switchWindow": {}})"));
    typeKey(2);
    EXPECT_EQ(helperRequests().size(), 2u);
    EXPECT_FALSE(window.isKeyWindow());
}

// A wait-again behind the interruption belongs to the rest: it starts over once, after the resume.
TEST_F(ActionRunnerTest, WaitAgainAfterTheInterruptionStartsOverOnceAfterTheResume) {
    int rootRuns = 0;
    ShellServices::shared().toggleConfigurationWindow = [&rootRuns] { ++rootRuns; };
    writeConfiguration(Decision::make({act(K::toggleConfigurationWindow{})},
                                      {keyChance(1, {act(K::continueFromInterruption{0}), act(K::reWaitTriggerKeys{})})}));
    startSession();
    typeKey(1);
    EXPECT_FALSE(window.isKeyWindow()) << "the first part of the leaf ends the session";
    EXPECT_EQ(rootRuns, 1);
    queue.advance(0.1);
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 2);
    ASSERT_TRUE(manager.currentStates());
    EXPECT_TRUE(manager.currentStates()->history.empty());
}

TEST_F(ActionRunnerTest, FrontmostApplicationTexts) {
    workspace.frontmost = RunningApplication{9, "/usr/share/applications/org.gnome.Nautilus.desktop", "org.gnome.Nautilus",
                                             "Files", "/usr/bin/nautilus"};
    EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::bundleURL})),
              std::vector<ActionOutcome>{messageOutcome("/usr/share/applications/org.gnome.Nautilus.desktop")});
    EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::localizedName})),
              std::vector<ActionOutcome>{messageOutcome("Files")});
    EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier})),
              std::vector<ActionOutcome>{messageOutcome("org.gnome.Nautilus")});
    EXPECT_EQ(settings::suggestedDisabledApplicationPaths(),
              std::vector<std::string>{"/usr/share/applications/org.gnome.Nautilus.desktop"});

    workspace.frontmost = RunningApplication{10, "/usr/bin/xterm", std::nullopt, std::nullopt, "/usr/bin/xterm"};
    EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier})),
              std::vector<ActionOutcome>{messageOutcome("get_frontmost_app_failure")});
    EXPECT_EQ(settings::suggestedDisabledApplicationPaths(),
              (std::vector<std::string>{"/usr/bin/xterm", "/usr/share/applications/org.gnome.Nautilus.desktop"}));
}

// Every session asks; the settings, which also hold the flat rows, change only with the answer.
TEST_F(ActionRunnerTest, TheSameFrontmostApplicationAgainLeavesTheSettingsAlone) {
    workspace.frontmost = RunningApplication{9, "/apps/editor.desktop", "editor", "Editor", "/usr/bin/editor"};
    int changes = 0;
    const auto token = settingsStore()->addObserver([&changes] { ++changes; });
    outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::bundleURL}));
    outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::localizedName}));
    settingsStore()->removeObserver(token);
    EXPECT_EQ(changes, 1);
}

TEST_F(ActionRunnerTest, FrontmostApplicationFailures) {
    workspace.frontmost.reset();
    for (const auto kind : allGetFrontmostAppKinds) {
        EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{kind})),
                  std::vector<ActionOutcome>{messageOutcome("get_frontmost_app_failure")});
    }
    workspace.frontmost = RunningApplication{11, std::nullopt, std::nullopt, "Nameless", std::nullopt};
    EXPECT_EQ(outcomesOf(act(K::getFrontmostApp{GetFrontmostAppKind::bundleURL})),
              std::vector<ActionOutcome>{messageOutcome("get_frontmost_app_failure")});
    EXPECT_TRUE(settings::suggestedDisabledApplicationPaths().empty());
}

TEST_F(ActionRunnerTest, TextIsPostedAtOnce) {
    workspace.frontmost = RunningApplication{9, "/a.desktop", "a", "A", "/a"};
    OutcomeRecorder recorder;
    run(act(K::getFrontmostApp{GetFrontmostAppKind::localizedName}), Decision::make(), {});
    EXPECT_EQ(recorder.outcomes.size(), 1u);
}

TEST_F(ActionRunnerTest, LeaderKeyBeforeAnyIsAnEmptyMessage) {
    EXPECT_EQ(outcomesOf(act(K::getLeaderKey{std::nullopt})), std::vector<ActionOutcome>{messageOutcome("")});
    EXPECT_EQ(outcomesOf(act(K::getLeaderKey{GetLeaderKeyKind::keyCodeText})), std::vector<ActionOutcome>{messageOutcome("")});
}

TEST_F(ActionRunnerTest, LeaderKeyTexts) {
    const auto textOf = [this](std::optional<GetLeaderKeyKind> kind) {
        const auto outcomes = outcomesOf(act(K::getLeaderKey{kind}));
        return outcomes.size() == 1 ? outcomes[0].get<ActionOutcome::message>()->text : std::string("<no single outcome>");
    };
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::command);
    EXPECT_EQ(textOf(GetLeaderKeyKind::keyCodeText), "(55)");
    EXPECT_EQ(textOf(std::nullopt), "⌘ Command");
    EXPECT_EQ(textOf(GetLeaderKeyKind::displayName), "⌘ Command");
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::control);
    EXPECT_EQ(textOf(GetLeaderKeyKind::displayName), "⌃ Control");

    currentLeaderKey() = HotKey::combo(0, carbon::command | carbon::control);
    EXPECT_EQ(textOf(GetLeaderKeyKind::keyCodeText), "0(4352)");
    EXPECT_EQ(textOf(GetLeaderKeyKind::displayName), "⌃⌘A");
    currentLeaderKey() = HotKey::combo(49, 0);
    EXPECT_EQ(textOf(std::nullopt), "Space");
}

// The leader-key message of a flat-row tree: both texts of one decision are matched in turn.
TEST_F(ActionRunnerTest, TextsOfOneDecisionFeedSuccessiveSteps) {
    workspace.frontmost = RunningApplication{9, "/apps/editor.desktop", "editor", "Editor", "/usr/bin/editor"};
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::command);
    writeConfiguration(Decision::make(
        {act(K::reWaitTriggerKeys{}), act(K::getFrontmostApp{GetFrontmostAppKind::bundleURL}),
         act(K::getLeaderKey{GetLeaderKeyKind::keyCodeText})},
        {messageChance("/apps/editor\\.desktop", {}, {messageChance("\\(55\\)", {}, {keyChance(1, {act(K::sleep{})})})})}));
    startSession();
    ASSERT_TRUE(manager.currentStates());
    EXPECT_EQ(manager.currentStates()->history.size(), 2u);
    typeKey(1);
    EXPECT_EQ(helperRequests().size(), 1u);
}

} // namespace
} // namespace tavlin::test
