#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/ActionConfigurability.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/HelperApplication.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

using C = ActionConfigurationKind;
using K = Action::Kind;

ActionConfigurability configurable(C kind) { return {kind}; }
const ActionConfigurability readOnly{};

// Settings come from a fresh store; the helper counts as running while `helperRunning_` says so.
class ActionConfigurabilityTest : public test::TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        setHelperRunningProbe([this] {
            ++helperQuestions_;
            return helperRunning_;
        });
    }
    void TearDown() override {
        setHelperRunningProbe({});
        TempHomeTest::TearDown();
    }

    static void showExperimentalActions(bool shown) {
        settings::appGroupStore()->set(settings::keys::showExperimentalActions, shown);
    }

    bool helperRunning_ = false;
    int helperQuestions_ = 0;
};

TEST(ActionConfigurationKinds, NamesAndTitlesInListOrder) {
    const std::vector<std::pair<std::string, std::string>> expected{
        {"notification", "Notification"},
        {"openURL", "Open URL"},
        {"openApp", "Open App"},
        {"openFinder", "Open File Manager"},
        {"openFile", "Open File"},
        {"openFolder", "Open Folder"},
        {"runAppleScript", "Run Script"},
        {"toggleConfigurationWindow", "Toggle Configuration Window"},
        {"menuCommand", "Run Menu Command"},
        {"switchWindow", "Switch To Recent Window"},
        {"executeFile", "Execute File"},
        {"sleep", "Sleep"},
        {"simulateKeystroke", "Simulate Keystroke"},
        {"switchInputMethod", "Switch Input Method"},
        {"continueFromInterruption", "Continue From Interruption"},
        {"stopKeySequenceAfterDelay", "Stop Key Sequence After Delay"},
        {"getFrontmostApp", "Get Frontmost App"},
        {"getLeaderKey", "Get Leader Key"},
    };
    std::vector<std::pair<std::string, std::string>> actual;
    for (const C kind : allActionConfigurationKinds()) {
        actual.emplace_back(rawValue(kind), title(kind));
        EXPECT_EQ(actionConfigurationKindFromRawValue(rawValue(kind)), kind);
    }
    EXPECT_EQ(actual, expected);

    for (const char* text : {"menu", "internalMethod", "reWaitTriggerKeys", "Sleep", "sleep ", ""}) {
        EXPECT_EQ(actionConfigurationKindFromRawValue(text), std::nullopt) << text;
    }
    EXPECT_EQ(helperKinds(), (std::vector<C>{C::menuCommand, C::switchWindow, C::executeFile, C::sleep, C::simulateKeystroke,
                                             C::switchInputMethod}));
}

TEST_F(ActionConfigurabilityTest, EveryActionKindMapsToItsConfigurationKind) {
    const std::vector<std::pair<Action, ActionConfigurability>> always{
        {Action(K::notification{"n"}), configurable(C::notification)},
        {Action(K::openURL{"https://example.org", std::nullopt}), configurable(C::openURL)},
        {Action(K::openApp{"/Applications/Safari.app", false, std::nullopt, std::nullopt}), configurable(C::openApp)},
        {Action(K::openFinder{}), configurable(C::openFinder)},
        {Action(K::openFile{"/tmp/a", std::nullopt}), configurable(C::openFile)},
        {Action(K::openFolder{"/tmp", std::nullopt}), configurable(C::openFolder)},
        {Action(K::runAppleScript{"/tmp/s"}), configurable(C::runAppleScript)},
        {Action(K::toggleConfigurationWindow{}), configurable(C::toggleConfigurationWindow)},
        {Action(K::continueFromInterruption{1}), configurable(C::continueFromInterruption)},
        {Action(K::stopKeySequenceAfterDelay{1, std::nullopt}), configurable(C::stopKeySequenceAfterDelay)},
        {Action(K::getFrontmostApp{GetFrontmostAppKind::localizedName}), configurable(C::getFrontmostApp)},
        {Action(K::getLeaderKey{std::nullopt}), configurable(C::getLeaderKey)},
        {Action(K::reWaitTriggerKeys{}), readOnly},
        {Action(K::internalMethod{}), readOnly},
    };
    const std::vector<std::pair<Action, C>> helperOnly{
        {Action(K::menuCommand{{"File->Save"}}), C::menuCommand},
        {Action(K::switchWindow{}), C::switchWindow},
        {Action(K::executeFile{"/bin/true", std::nullopt}), C::executeFile},
        {Action(K::sleep{}), C::sleep},
        {Action(K::simulateKeystroke{Keystroke{0, true, false, false, false}}), C::simulateKeystroke},
        {Action(K::switchInputMethod{"us"}), C::switchInputMethod},
    };
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "helper running" : "helper not running");
        helperRunning_ = running;
        for (const auto& [action, expected] : always) EXPECT_EQ(configurability(action), expected) << action.kind.caseName();
        for (const auto& [action, kind] : helperOnly) {
            EXPECT_EQ(configurability(action), running ? configurable(kind) : readOnly) << action.kind.caseName();
        }
    }
}

TEST_F(ActionConfigurabilityTest, TheHelperIsAskedAfreshAndOnlyForItsOwnKinds) {
    const Action sleep(K::sleep{});
    EXPECT_TRUE(configurability(sleep).isReadOnly());
    EXPECT_FALSE(contains(offeredKinds(), C::sleep));

    helperRunning_ = true;
    EXPECT_EQ(configurability(sleep), configurable(C::sleep));
    EXPECT_TRUE(contains(offeredKinds(), C::sleep));

    helperQuestions_ = 0;
    configurability(Action(K::openApp{"/Applications/Safari.app", false, std::nullopt, std::nullopt}));
    configurability(Action(K::internalMethod{}));
    EXPECT_EQ(helperQuestions_, 0);
    configurability(sleep);
    EXPECT_EQ(helperQuestions_, 1);
}

TEST_F(ActionConfigurabilityTest, OfferedKindsFollowTheHelperAndThePreference) {
    const auto all = allActionConfigurationKinds();
    struct Case {
        bool helper;
        bool experimental;
        std::size_t count;
    };
    for (const Case c : {Case{true, true, 18}, Case{true, false, 16}, Case{false, true, 12}, Case{false, false, 10}}) {
        SCOPED_TRACE(std::string(c.helper ? "helper" : "no helper") + (c.experimental ? ", experimental" : ""));
        helperRunning_ = c.helper;
        showExperimentalActions(c.experimental);
        const auto offered = offeredKinds();
        EXPECT_EQ(offered.size(), c.count);
        // Always a subsequence of the full list, in its order.
        std::vector<C> expected;
        for (const C kind : all) {
            const bool helperKind = contains(helperKinds(), kind);
            const bool experimentalKind = kind == C::continueFromInterruption || kind == C::stopKeySequenceAfterDelay;
            if ((!helperKind || c.helper) && (!experimentalKind || c.experimental)) expected.push_back(kind);
        }
        EXPECT_EQ(offered, expected);
    }

    helperRunning_ = false;
    showExperimentalActions(false);
    EXPECT_EQ(offeredKinds(),
              (std::vector<C>{C::notification, C::openURL, C::openApp, C::openFinder, C::openFile, C::openFolder,
                              C::runAppleScript, C::toggleConfigurationWindow, C::getFrontmostApp, C::getLeaderKey}));
}

TEST_F(ActionConfigurabilityTest, AnExistingExperimentalActionStaysEditableWhileTheKindIsHidden) {
    ASSERT_FALSE(settings::showExperimentalActions());
    EXPECT_FALSE(contains(offeredKinds(), C::continueFromInterruption));
    EXPECT_EQ(configurability(Action(K::continueFromInterruption{0.5})), configurable(C::continueFromInterruption));
}

TEST_F(ActionConfigurabilityTest, TheOldMenuActionIsReadOnlyAndReported) {
    helperRunning_ = true;
    const diag::Capture capture;
    EXPECT_EQ(configurability(Action(K::menu{{"File", "Save"}})), readOnly);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"unexpected, supposed to be converted to menuCommand"});
}

} // namespace
} // namespace tavlin
