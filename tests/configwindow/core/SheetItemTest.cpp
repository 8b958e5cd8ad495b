#include <gtest/gtest.h>

#include "configwindow/core/ActionSheetItem.h"
#include "configwindow/core/PatternSheetItem.h"
#include "platform/base/Diagnostics.h"

namespace tavlin {
namespace {

using CK = ActionConfigurationKind;
namespace p = actionparams;

// A change wrapper that counts the changes it runs.
struct Wrapper {
    int changes = 0;
    ActionSheetItem::ChangeWrapper get() {
        return [this](const std::function<void()>& edit) {
            ++changes;
            edit();
        };
    }
};

TEST(ActionSheetItemTest, ANewActionStartsOnOpenURLWithNothingToSave) {
    Wrapper wrapper;
    const auto item = ActionSheetItem::make(Decision::make(), ActionSheetItem::New{0}, wrapper.get());
    EXPECT_EQ(item.startKind(), CK::openURL);
    EXPECT_FALSE(makeAction(item.actionDescription, item.startKind(), item.paramsByKind));
    EXPECT_EQ(item.paramsByKind, defaultActionParamsByKind());
}

TEST(ActionSheetItemTest, MakingActionsDropsWhatTheEditorDoesNotCarry) {
    const Action openApp(Action::Kind::openApp{"/usr/bin/app", true, std::nullopt, true});
    auto made = makeAction("", CK::openApp, actionParamsByKind(openApp));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->kind, Action::Kind(Action::Kind::openApp{"/usr/bin/app", true, "", false}));
    EXPECT_FALSE(made->actionDescription);
    EXPECT_NE(made->id, openApp.id);

    const Action stop(Action::Kind::stopKeySequenceAfterDelay{2, true});
    EXPECT_EQ(makeAction("*x*", CK::stopKeySequenceAfterDelay, actionParamsByKind(stop))->kind,
              Action::Kind(Action::Kind::stopKeySequenceAfterDelay{2, std::nullopt}));
    EXPECT_EQ(makeAction("*x*", CK::openFinder, {})->actionDescription, "*x*");

    const Action url(Action::Kind::openURL{"https://example.org", std::string()});
    EXPECT_EQ(makeAction("", CK::openURL, actionParamsByKind(url))->kind,
              Action::Kind(Action::Kind::openURL{"https://example.org", std::nullopt}));

    const Action leader(Action::Kind::getLeaderKey{std::nullopt});
    EXPECT_EQ(std::get<p::getLeaderKey>(actionParamsByKind(leader).at(CK::getLeaderKey)).leaderKeyInfoKind,
              GetLeaderKeyKind::displayName);
    EXPECT_EQ(makeAction("", CK::getLeaderKey, actionParamsByKind(leader))->kind,
              Action::Kind(Action::Kind::getLeaderKey{GetLeaderKeyKind::displayName}));

    // Missing, mismatched or empty required entries, and the kind without fields to build.
    auto params = defaultActionParamsByKind();
    EXPECT_FALSE(makeAction("", CK::notification, params));
    params[CK::notification] = p::menuCommand{"File"};
    EXPECT_FALSE(makeAction("", CK::notification, params));
    EXPECT_FALSE(makeAction("", CK::switchInputMethod, params));
    params.erase(CK::simulateKeystroke);
    EXPECT_FALSE(makeAction("", CK::simulateKeystroke, params));
}

TEST(ActionSheetItemTest, SavingInsertsOrReplacesAtTheIndexAndOnlyWhileItStillFits) {
    auto decision = Decision::make({Action(Action::Kind::sleep{}), Action(Action::Kind::openFinder{})});
    Wrapper wrapper;
    auto edit = ActionSheetItem::make(decision, ActionSheetItem::Edit{decision->actions[1], 1}, wrapper.get());
    EXPECT_EQ(edit.startKind(), CK::openFinder);
    auto insert = ActionSheetItem::make(decision, ActionSheetItem::New{2}, wrapper.get());
    insert.newActionHandler(Action(Action::Kind::switchWindow{}));
    ASSERT_EQ(decision->actions.size(), 3u);
    EXPECT_TRUE(decision->actions[2].kind.is<Action::Kind::switchWindow>());

    const auto replacement = Action(Action::Kind::toggleConfigurationWindow{});
    edit.newActionHandler(replacement);
    EXPECT_EQ(decision->actions[1], replacement);
    EXPECT_EQ(wrapper.changes, 2);

    // The edited action is gone from index 1 and an index past the end names nothing.
    diag::Capture capture;
    edit.newActionHandler(Action(Action::Kind::sleep{}));
    auto past = ActionSheetItem::make(decision, ActionSheetItem::New{9}, wrapper.get());
    past.newActionHandler(Action(Action::Kind::sleep{}));
    // A decision no longer in the tree shown.
    auto detached = ActionSheetItem::make(decision, ActionSheetItem::New{0}, wrapper.get(),
                                          [](const Decision&) { return false; });
    detached.newActionHandler(Action(Action::Kind::sleep{}));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(wrapper.changes, 2);
    EXPECT_EQ(decision->actions.size(), 3u);
}

TEST(ActionSheetItemTest, AnActionThatCannotBeEditedIsReadOnly) {
    auto decision = Decision::make({Action(Action::Kind::reWaitTriggerKeys{})});
    Wrapper wrapper;
    const auto item = ActionSheetItem::make(decision, ActionSheetItem::Edit{decision->actions[0], 0}, wrapper.get());
    EXPECT_TRUE(item.isReadOnly());
    EXPECT_FALSE(item.initialConfigurationKind);
}

TEST(PatternSheetItemTest, ANewChanceStartsOnKeyZeroAndGetsAnEmptyDecision) {
    auto decision = Decision::make();
    Wrapper wrapper;
    const auto item = PatternSheetItem::make(PatternSheetItem::NewChance{0}, decision, wrapper.get());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->startKind(), Pattern::ConfigurationKind::key);
    const auto pattern = makePattern(item->startKind(), item->paramsByKind);
    ASSERT_TRUE(pattern);
    item->newPatternHandler(*pattern);
    ASSERT_EQ(decision->chances.size(), 1u);
    EXPECT_EQ(decision->chances[0]->pattern.kind, Pattern::Kind(Pattern::Kind::key{{0}}));
    EXPECT_TRUE(decision->chances[0]->decision->actions.empty() && decision->chances[0]->decision->chances.empty());
}

TEST(PatternSheetItemTest, EditingAPatternKeepsTheChanceAndSubtreeAndDropsTheDescription) {
    auto child = Decision::make({Action(Action::Kind::sleep{})});
    auto decision = Decision::make({}, {Chance::make(Pattern(Pattern::Kind::key{{0, 11}}, "old"), child)});
    const auto chance = decision->chances[0];
    Wrapper wrapper;
    auto item = PatternSheetItem::make(PatternSheetItem::EditPattern{chance->pattern, 0}, decision, wrapper.get());
    ASSERT_TRUE(item);
    // Two codes are kept as they are; the other kinds keep their defaults.
    EXPECT_EQ(std::get<PatternParams::key>(item->paramsByKind.at(Pattern::ConfigurationKind::key).value).allowedKeyCodes,
              (std::vector<std::int64_t>{0, 11}));
    EXPECT_EQ(item->paramsByKind.at(Pattern::ConfigurationKind::message),
              defaultPatternParams().at(Pattern::ConfigurationKind::message));
    auto params = item->paramsByKind;
    params[Pattern::ConfigurationKind::message] = {PatternParams::message{"(unclosed"}};
    const auto pattern = makePattern(Pattern::ConfigurationKind::message, params);
    ASSERT_TRUE(pattern); // saved as typed: the expression is not checked
    item->newPatternHandler(*pattern);
    EXPECT_EQ(decision->chances[0], chance);
    EXPECT_EQ(chance->decision, child);
    EXPECT_EQ(chance->pattern.kind, Pattern::Kind(Pattern::Kind::message{"(unclosed"}));
    EXPECT_FALSE(chance->pattern.patternDescription);

    // The same sheet again: the pattern it was opened for is gone.
    diag::Capture capture;
    item->newPatternHandler(*pattern);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{""}));
    EXPECT_EQ(wrapper.changes, 1);
    EXPECT_FALSE(PatternSheetItem::make(PatternSheetItem::EditPattern{chance->pattern, 5}, decision, wrapper.get()));
}

TEST(PatternSheetItemTest, MakingAPatternNeedsAnEntryOfItsKind) {
    diag::Capture capture;
    EXPECT_FALSE(makePattern(Pattern::ConfigurationKind::key, {}));
    EXPECT_FALSE(makePattern(Pattern::ConfigurationKind::message,
                             {{Pattern::ConfigurationKind::message, {PatternParams::alwaysMatch{}}}}));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(makePattern(Pattern::ConfigurationKind::alwaysMatch, {}));
}

} // namespace
} // namespace tavlin
