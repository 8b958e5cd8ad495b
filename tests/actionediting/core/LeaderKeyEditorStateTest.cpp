#include <gtest/gtest.h>

#include "actionediting/core/LeaderKeyEditorState.h"

namespace tavlin {
namespace {

using shortcutkit::Shortcut;
using Kind = LeaderKeyEditorState::Kind;
using Modifier = HotKey::SingleTapModifier;

constexpr std::uint32_t cmd = carbon::command, shift = carbon::shift;

// The stored shortcut of a name, counting writes.
struct FakeStore {
    std::optional<Shortcut> stored;
    int writes = 0;
    LeaderKeyEditorState::ShortcutStore store() {
        return {[this] { return stored; },
                [this](const std::optional<Shortcut>& shortcut) {
                    stored = shortcut;
                    ++writes;
                }};
    }
};

struct Reports {
    std::vector<std::optional<HotKey>> values;
    LeaderKeyEditorState::Report report() {
        return [this](const std::optional<HotKey>& hotKey) { values.push_back(hotKey); };
    }
};

TEST(LeaderKeyEditorStateTest, StartingClearsOrWritesTheStoredShortcutOnlyWhenItDiffers) {
    FakeStore store{Shortcut(0, cmd)};
    Reports reports;
    LeaderKeyEditorState none(store.store(), std::nullopt, reports.report());
    EXPECT_FALSE(store.stored);
    EXPECT_EQ(none.kind(), Kind::combo);
    EXPECT_EQ(none.modifier(), Modifier::command);

    store = FakeStore{Shortcut(0, cmd)};
    LeaderKeyEditorState equal(store.store(), HotKey::combo(0, cmd), reports.report());
    EXPECT_EQ(store.writes, 0);

    LeaderKeyEditorState other(store.store(), HotKey::combo(11, cmd | shift), reports.report());
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(store.stored->carbonKeyCode, 11);

    LeaderKeyEditorState single(store.store(), HotKey::singleModifier(Modifier::option), reports.report());
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(single.kind(), Kind::singleModifier);
    EXPECT_EQ(single.modifier(), Modifier::option);
    EXPECT_TRUE(reports.values.empty());
}

TEST(LeaderKeyEditorStateTest, EveryUserActionReportsExactlyOnce) {
    FakeStore store{Shortcut(0, cmd)};
    Reports reports;
    LeaderKeyEditorState state(store.store(), HotKey::singleModifier(Modifier::shift), reports.report());
    // Back to the combination before anything was recorded: none, though a shortcut is stored.
    state.kindChanged(Kind::combo);
    ASSERT_EQ(reports.values.size(), 1u);
    EXPECT_FALSE(reports.values[0]);

    state.recorderChanged(Shortcut(11, cmd));
    ASSERT_EQ(reports.values.size(), 2u);
    EXPECT_EQ(reports.values[1], HotKey::combo(11, cmd));

    // Picking a modifier while the combination is shown: one report, and the kind follows.
    state.modifierChanged(Modifier::control);
    ASSERT_EQ(reports.values.size(), 3u);
    EXPECT_EQ(reports.values[2], HotKey::singleModifier(Modifier::control));
    EXPECT_EQ(state.kind(), Kind::singleModifier);

    state.kindChanged(Kind::combo);
    EXPECT_EQ(reports.values.back(), HotKey::combo(11, cmd));
    state.kindChanged(Kind::combo);
    state.recorderChanged(std::nullopt);
    ASSERT_EQ(reports.values.size(), 5u);
    EXPECT_FALSE(reports.values.back());
}

TEST(LeaderKeyEditorStateTest, SyncShowsAReloadedHotKeyWithoutReporting) {
    FakeStore store;
    Reports reports;
    LeaderKeyEditorState state(store.store(), HotKey::combo(0, cmd), reports.report());
    state.recorderChanged(Shortcut(0, cmd));
    reports.values.clear();

    // The file now holds a single modifier while the editor shows the combination.
    state.sync(HotKey::singleModifier(Modifier::option));
    EXPECT_EQ(state.kind(), Kind::singleModifier);
    EXPECT_EQ(state.shownHotKey(), HotKey::singleModifier(Modifier::option));
    // Then another combination: shown, and a later switch back reports it, not the old one.
    state.sync(HotKey::combo(11, shift));
    EXPECT_EQ(state.shownHotKey(), HotKey::combo(11, shift));
    state.kindChanged(Kind::singleModifier);
    state.kindChanged(Kind::combo);
    ASSERT_EQ(reports.values.size(), 2u);
    EXPECT_EQ(reports.values[1], HotKey::combo(11, shift));

    state.sync(std::nullopt);
    EXPECT_FALSE(store.stored);
    EXPECT_EQ(state.kind(), Kind::combo);
    EXPECT_EQ(reports.values.size(), 2u);
    // A leader key the configuration no longer has does not come back with the kind.
    state.kindChanged(Kind::singleModifier);
    state.kindChanged(Kind::combo);
    ASSERT_EQ(reports.values.size(), 4u);
    EXPECT_FALSE(reports.values.back());
}

TEST(LeaderKeyEditorStateTest, HotKeyTextsAreModifierNamesThenKeyOrTheModifierLabel) {
    EXPECT_EQ(hotKeyText(HotKey::combo(0, cmd | shift)), "Super+Shift+A");
    EXPECT_EQ(hotKeyText(HotKey::singleModifier(Modifier::control)), "Ctrl");
    EXPECT_EQ(hotKeyText(HotKey::combo(0x7fffffff, cmd)), "Super+Unknow(2147483647)");
}

} // namespace
} // namespace tavlin
