#include "engine/InputSources.h"
#include "flateditor/core/SheetTestSupport.h"

namespace tavlin::flateditor::test {
namespace {

using K = ActionConfigurationKind;

FlatKeysAndActionRow rowWith(Action::Kind kind, Scope scope = Scope::allBut()) {
    return FlatKeysAndActionRow(Uuid::random(), true, std::move(scope), {0}, Action(std::move(kind), "why"), true,
                                LeaderKey::hold(true, 49));
}

class RowSheetItemTest : public SheetTest {};

TEST_F(RowSheetItemTest, NewRowStartsFromTheRememberedSettings) {
    ASSERT_EQ(settings::appGroupStore()->set(
                  {{settings::keys::previousSetLeaderKeySingleModier, "⌥"}, {settings::keys::previousCheckedComplexMode, true}}),
              std::nullopt);
    auto state = sheet(newRow());
    EXPECT_EQ(state.sheetItem().initialLeaderKey, LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::option)));
    EXPECT_FALSE(state.sheetItem().initialConfigurationKind);
    EXPECT_EQ(state.currentKind(), K::openApp);
    EXPECT_EQ(state.paramsSByKind(), defaultActionParamsByKind());
    EXPECT_TRUE(state.currentKeys().empty());
    EXPECT_EQ(state.currentApplicationScopeKind(), ApplicationScopeKind::all);
    EXPECT_EQ(state.actionDescription(), "");
    EXPECT_FALSE(state.endLeaderKeyStatusAfterActionExecution());
    EXPECT_TRUE(state.complexMode());
    EXPECT_FALSE(state.isReadOnly());
}

TEST_F(RowSheetItemTest, OfferedKindsFollowTheHelperAndExperimentalSettingButNeverTheTwoGetKinds) {
    EXPECT_EQ(sheet(newRow()).sheetItem().allKinds,
              (std::vector{K::notification, K::openURL, K::openApp, K::openFinder, K::openFile, K::openFolder, K::runAppleScript,
                           K::toggleConfigurationWindow}));
    helperRunning = true;
    ASSERT_EQ(settings::appGroupStore()->set(settings::keys::showExperimentalActions, true), std::nullopt);
    const auto kinds = sheet(newRow()).sheetItem().allKinds;
    EXPECT_EQ(kinds.size(), 16u);
    EXPECT_EQ(kinds.back(), K::stopKeySequenceAfterDelay);

    // A stored get-kind row still opens on its kind.
    const auto state = sheet(edit(rowWith(Action::Kind::getLeaderKey{std::nullopt})));
    EXPECT_EQ(state.currentKind(), K::getLeaderKey);
    EXPECT_EQ(*state.params(K::getLeaderKey), ActionParams(actionparams::getLeaderKey{GetLeaderKeyKind::displayName}));
}

TEST_F(RowSheetItemTest, ActionPayloadsBecomeTheirKindsParameters) {
    using A = Action::Kind;
    const auto openApp = [](bool hide, std::optional<bool> previous) {
        return *std::get_if<actionparams::openApp>(
            &actionParamsByKind(Action(A::openApp{"/a", hide, std::nullopt, previous})).at(K::openApp));
    };
    EXPECT_EQ(actionparams::actionIfRunning(openApp(true, true)), actionparams::ActionIfRunning::switchToPreviousApp);
    EXPECT_EQ(actionparams::actionIfRunning(openApp(true, std::nullopt)), actionparams::ActionIfRunning::hideApp);
    EXPECT_EQ(actionparams::actionIfRunning(openApp(true, false)), actionparams::ActionIfRunning::hideApp);
    EXPECT_EQ(actionparams::actionIfRunning(openApp(false, false)), actionparams::ActionIfRunning::none);
    EXPECT_EQ(openApp(false, false).launchArgumentsText, "");

    const auto stop = actionParamsByKind(Action(A::stopKeySequenceAfterDelay{2.5, true}));
    EXPECT_EQ(stop.at(K::stopKeySequenceAfterDelay), ActionParams(actionparams::stopKeySequenceAfterDelay{2.5}));
    EXPECT_EQ(actionParamsByKind(Action(A::switchInputMethod{""})).at(K::switchInputMethod),
              ActionParams(actionparams::switchInputMethod{std::string()}));
    EXPECT_EQ(actionParamsByKind(Action(A::menuCommand{{"File->Save"}})).at(K::menuCommand),
              ActionParams(actionparams::menuCommand{"File->Save"}));
    EXPECT_EQ(actionParamsByKind(Action(A::simulateKeystroke{{5, true, false, true, false}})).at(K::simulateKeystroke),
              ActionParams(actionparams::simulateKeystroke{5, true, false, true, false}));
    // The older menu form and the kinds without parameters keep every default.
    EXPECT_EQ(actionParamsByKind(Action(A::menu{{"File", "Save"}})), defaultActionParamsByKind());
    EXPECT_EQ(actionParamsByKind(Action(A::sleep{})), defaultActionParamsByKind());
    EXPECT_EQ(defaultActionParamsByKind().size(), 14u);
}

TEST_F(RowSheetItemTest, EditsStartFromTheOldRowAndScopedRowsOpenInComplexMode) {
    const auto scoped = rowWith(Action::Kind::notification{"hi"}, Scope::only({"/b.desktop", "/a.desktop"}));
    auto state = sheet(edit(scoped));
    EXPECT_TRUE(state.complexMode());
    EXPECT_EQ(state.currentKind(), K::notification);
    EXPECT_EQ(state.currentKeys(), std::vector<std::int64_t>{0});
    EXPECT_EQ(state.actionDescription(), "why");
    EXPECT_TRUE(state.endLeaderKeyStatusAfterActionExecution());
    EXPECT_EQ(state.currentApplicationScopeKind(), ApplicationScopeKind::only);
    EXPECT_EQ(state.applicationPaths(), (std::vector<std::string>{"/a.desktop", "/b.desktop"}));
    EXPECT_EQ(std::get<LeaderKey>(state.currentLeaderKeyResult()), LeaderKey::hold(true, 49));

    EXPECT_TRUE(sheet(copy(rowWith(Action::Kind::openApp{"/a", false, "--x", std::nullopt}))).complexMode());
    EXPECT_FALSE(sheet(copy(rowWith(Action::Kind::openApp{"/a", false, "", std::nullopt}))).complexMode());
}

TEST_F(RowSheetItemTest, HelperKindsAreReadOnlyWhileTheHelperIsOff) {
    const auto sleeper = rowWith(Action::Kind::sleep{});
    auto state = sheet(edit(sleeper));
    EXPECT_TRUE(state.isReadOnly());
    EXPECT_FALSE(state.sheetItem().initialConfigurationKind);
    EXPECT_EQ(state.currentKind(), K::openApp);
    EXPECT_EQ(state.readOnlyActionDescription(), "Sleep");
    // A copy is a new row: it is composed, not shown read-only.
    EXPECT_FALSE(sheet(copy(sleeper)).isReadOnly());
    helperRunning = true;
    EXPECT_FALSE(sheet(edit(sleeper)).isReadOnly());
}

// The input-method editor shows the list as gathered when the item was built.
class ListedSources final : public InputSourceProvider {
public:
    std::vector<PlatformInputSource> sources;
    std::vector<PlatformInputSource> enabledInputSources() override { return sources; }
    std::optional<std::string> currentInputSourceID() override { return std::nullopt; }
    bool selectInputSource(const std::string&) override { return false; }
    bool canLoadImage(const std::string&) override { return false; }
};

PlatformInputSource source(const std::string& id) {
    PlatformInputSource source;
    source.id = id;
    source.localizedName = id;
    return source;
}

TEST_F(RowSheetItemTest, BuildingTheItemGathersTheInputSourcesAnew) {
    ListedSources provider;
    InputSourceManager::setProvider(&provider);
    provider.sources = {source("us")};
    RowSheetItem first(newRow(), nullptr);
    EXPECT_EQ(InputSourceManager::selectableInputSources().size(), 1u);
    provider.sources.push_back(source("de"));
    RowSheetItem second(newRow(), nullptr);
    EXPECT_EQ(InputSourceManager::selectableInputSources().size(), 2u);
    provider.sources.clear();
    RowSheetItem third(newRow(), nullptr);
    InputSourceManager::setProvider(nullptr);
    EXPECT_TRUE(InputSourceManager::selectableInputSources().empty());
}

} // namespace
} // namespace tavlin::flateditor::test
