#include <algorithm>

#include "flateditor/core/SheetTestSupport.h"
#include "model/KeyNames.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::flateditor::test {
namespace {

using K = ActionConfigurationKind;
using Keys = std::vector<std::int64_t>;
constexpr std::int64_t A = 0, S = 1, D = 2;

class SheetStateTest : public SheetTest {};

TEST(TriggerKeyPickerTest, OffersTheMainKeysWithoutSpaceOrEscapeAfterItsFirstItem) {
    const auto empty = triggerKeyPickerItems(true);
    EXPECT_EQ(empty.front().title, "Click To Add A Key");
    EXPECT_FALSE(empty.front().keyCode);
    EXPECT_EQ(triggerKeyPickerItems(false).front().title, "Add More Keys");
    EXPECT_EQ(empty.size(), 101u);
    EXPECT_EQ(empty[1].title, "A");
    for (const auto code : {std::int64_t{keycodes::space}, std::int64_t{keycodes::escape}})
        EXPECT_TRUE(std::none_of(empty.begin(), empty.end(), [&](const auto& item) { return item.keyCode == code; }));
}

TEST_F(SheetStateTest, KeysAreAppendedWithRepeatsAndDeletedByPosition) {
    auto state = sheet(newRow());
    state.appendKey(A);
    state.appendKey(A);
    state.appendKey(S);
    EXPECT_EQ(state.currentKeys(), (Keys{A, A, S}));
    state.deleteKey(1);
    EXPECT_EQ(state.currentKeys(), (Keys{A, S}));
    state.deleteKey(7); // not on screen: ignored
    EXPECT_EQ(state.currentKeys(), (Keys{A, S}));
    state.deleteAllKeys();
    EXPECT_TRUE(state.currentKeys().empty());
}

TEST_F(SheetStateTest, StoredOddKeysAreShownAndKept) {
    Keys odd{-5, 4000, keycodes::space, keycodes::escape};
    odd.resize(1000, A);
    auto row = flatRow(odd);
    store({row});
    auto state = sheet(edit(row));
    EXPECT_EQ(state.currentKeys(), odd);
    EXPECT_EQ(keyName(-5), "Unknow(-5)");
    const auto result = state.save();
    ASSERT_TRUE(result.closes) << state.visibleValidationText().value_or("");
    EXPECT_EQ(stored().at(0).keys, odd);
}

TEST_F(SheetStateTest, ConflictTextAppearsOnlyAfterAKeyChangeOrASave) {
    const auto mine = flatRow({A, S});
    store({flatRow({A}), mine});
    auto state = sheet(edit(mine));
    EXPECT_FALSE(state.showsKeyValidation());
    EXPECT_EQ(state.keyBindingConflictText(), std::nullopt);
    state.appendKey(D);
    state.deleteKey(2);
    EXPECT_EQ(state.keyBindingConflictText(), "Conflict with existing key bindings (A).\nDelete and reselect a key to resolve.");
    // The leader key and scope count at every redraw, without a key change.
    state.leaderKeyHotKeyChanged(HotKey::combo(A, 0x100));
    EXPECT_EQ(state.keyBindingConflictText(), std::nullopt);
    state.leaderKeyHotKeyChanged(std::nullopt);
    EXPECT_EQ(state.keyBindingConflictText(), std::nullopt);
    // A change of the stored rows reaches the next redraw.
    state.leaderKeyHotKeyChanged(HotKey::singleModifier(HotKey::SingleTapModifier::command));
    store({mine});
    EXPECT_EQ(state.keyBindingConflictText(), std::nullopt);
}

TEST_F(SheetStateTest, EditUnchangedSavesAndACopyUnchangedConflictsWithItsOrigin) {
    const auto row = flatRow({A});
    store({row});
    auto copied = sheet(copy(row));
    EXPECT_FALSE(copied.save().closes);
    EXPECT_EQ(copied.keyBindingConflictText(), "Conflict with existing key bindings (A).\nDelete and reselect a key to resolve.");
    auto edited = sheet(edit(row));
    EXPECT_TRUE(edited.save().closes);
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(SheetStateTest, TheRedLineShowsOnlyAfterSaveAndKeepsItsTextUntilTheNextKeyChangeOrSave) {
    auto state = sheet(newRow());
    state.appendKey(A);
    EXPECT_EQ(state.validationText(), "Invalid path.");
    EXPECT_EQ(state.visibleValidationText(), std::nullopt);

    state.setCurrentKind(K::notification);
    auto result = state.save();
    EXPECT_FALSE(result.closes);
    EXPECT_EQ(result.focus, RowSheetField::notificationTitle);
    EXPECT_EQ(state.visibleValidationText(), "Empty notification title.");
    state.setParams(actionparams::notification{"Hi"}, K::notification);
    EXPECT_EQ(state.visibleValidationText(), "Empty notification title.");
    state.appendKey(S);
    EXPECT_EQ(state.visibleValidationText(), std::nullopt);
    EXPECT_TRUE(stored().empty());

    // An unknown error moves no focus.
    state.setParams(actionparams::openURL{"x", std::nullopt}, K::notification);
    result = state.save();
    EXPECT_EQ(state.visibleValidationText(), "Unknown error.");
    EXPECT_EQ(result.focus, std::nullopt);
}

TEST_F(SheetStateTest, SaveRemembersComplexModeAndASingleModifierOnly) {
    auto state = sheet(newRow());
    state.appendKey(A);
    state.setCurrentKind(K::openFinder);
    state.setComplexMode(true);
    state.leaderKeyHotKeyChanged(HotKey::singleModifier(HotKey::SingleTapModifier::option));
    ASSERT_TRUE(state.save().closes);
    EXPECT_EQ(settings::appGroupStore()->string(settings::keys::previousSetLeaderKeySingleModier), "⌥");
    EXPECT_EQ(settings::appGroupStore()->boolean(settings::keys::previousCheckedComplexMode), true);

    auto combo = sheet(newRow());
    EXPECT_TRUE(combo.complexMode());
    combo.appendKey(S);
    combo.setCurrentKind(K::openFinder);
    combo.setComplexMode(false);
    combo.leaderKeyHotKeyChanged(HotKey::combo(A, 0x100));
    ASSERT_TRUE(combo.save().closes);
    EXPECT_EQ(settings::appGroupStore()->string(settings::keys::previousSetLeaderKeySingleModier), "⌥");
    EXPECT_EQ(settings::appGroupStore()->boolean(settings::keys::previousCheckedComplexMode), false);
}

TEST_F(SheetStateTest, TriggerKeyTitleNamesTheLeaderKeyOutsideComplexMode) {
    auto state = sheet(newRow());
    state.setComplexMode(false);
    EXPECT_EQ(state.triggerKeysTitle(), "Action trigger keys:\n(one or more keys to press after \"Super\")");
    state.setComplexMode(true);
    EXPECT_EQ(state.triggerKeysTitle(), "Action trigger keys:\n(one or more keys to press after the leader key)");
}

TEST_F(SheetStateTest, LeaderKeysComeBackOnceOnEveryClose) {
    {
        auto cancelled = sheet(newRow());
        cancelled.recorderFocusChanged(true);
        EXPECT_EQ(unregistered, 1);
        cancelled.cancel();
        cancelled.recorderFocusChanged(false);
        EXPECT_EQ(reloaded, 1);
    }
    {
        reloaded = 0;
        auto plain = sheet(newRow());
        plain.cancel();
        EXPECT_EQ(reloaded, 1);
    }
    {
        reloaded = 0;
        auto sleeper = flatRow({A});
        sleeper.action = Action(Action::Kind::sleep{});
        auto readOnly = sheet(edit(sleeper));
        ASSERT_TRUE(readOnly.isReadOnly());
        readOnly.closed();
        EXPECT_EQ(reloaded, 0);
    }
    {
        reloaded = 0;
        auto saved = sheet(newRow());
        saved.appendKey(D);
        saved.setCurrentKind(K::openFinder);
        saved.recorderFocusChanged(true);
        ASSERT_TRUE(saved.save().closes);
        saved.closed();
        EXPECT_EQ(reloaded, 1);
    }
}

TEST(ApplicationScopeEditorTest, AddDeduplicatesRemoveSelectsTheSuccessor) {
    ApplicationScopeEditor editor;
    EXPECT_EQ(editor.chooserFolder(), std::nullopt);
    editor.addApplication("/apps/a.desktop");
    editor.addApplication("/apps/b.desktop");
    editor.addApplication("/apps/c.desktop");
    editor.select("/apps/a.desktop");
    editor.addApplication("/apps/b.desktop");
    EXPECT_EQ(editor.rows().size(), 3u);
    EXPECT_EQ(editor.selectedPath(), "/apps/b.desktop");
    EXPECT_EQ(editor.chooserFolder(), "file:///apps/");

    editor.removeSelectedApplication();
    EXPECT_EQ(editor.paths(), (std::vector<std::string>{"/apps/a.desktop", "/apps/c.desktop"}));
    EXPECT_EQ(editor.selectedPath(), "/apps/c.desktop");
    editor.removeSelectedApplication();
    EXPECT_EQ(editor.selectedPath(), "/apps/a.desktop");
    editor.removeSelectedApplication();
    EXPECT_EQ(editor.selectedPath(), std::nullopt);
    EXPECT_FALSE(editor.canRemove());
    editor.removeSelectedApplication();
    EXPECT_TRUE(editor.rows().empty());
}

TEST(ApplicationScopeEditorTest, KindSwitchesKeepRowsAndDecideTheSavedScope) {
    using Scope = FlatKeysAndActionRow::ApplicationScope;
    ApplicationScopeEditor editor(Scope::allBut({"/z\nnew line.desktop", "/é.desktop", "/a.desktop"}));
    EXPECT_EQ(editor.kind(), ApplicationScopeKind::allBut);
    EXPECT_EQ(editor.paths(), (std::vector<std::string>{"/a.desktop", "/z\nnew line.desktop", "/é.desktop"}));
    editor.setKind(ApplicationScopeKind::all);
    EXPECT_EQ(editor.scope(), Scope::allBut());
    EXPECT_EQ(editor.rows().size(), 3u);
    editor.setKind(ApplicationScopeKind::only);
    EXPECT_EQ(editor.scope(), Scope::only({"/z\nnew line.desktop", "/é.desktop", "/a.desktop"}));

    EXPECT_EQ(ApplicationScopeEditor(Scope::allBut()).kind(), ApplicationScopeKind::all);
    ApplicationScopeEditor empty(Scope::only({}));
    EXPECT_EQ(empty.kind(), ApplicationScopeKind::only);
    EXPECT_EQ(empty.scope(), Scope::only({}));
    EXPECT_EQ(title(ApplicationScopeKind::all), "All Applications");
    EXPECT_EQ(title(ApplicationScopeKind::allBut), "All Applications Except:");
    EXPECT_EQ(title(ApplicationScopeKind::only), "Only The Applications:");
}

} // namespace
} // namespace tavlin::flateditor::test
