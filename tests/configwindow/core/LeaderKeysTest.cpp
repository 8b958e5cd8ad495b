#include <gtest/gtest.h>

#include "actionediting/core/LeaderKeyEditorState.h"
#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/LeaderKeyOperations.h"
#include "model/KeyNames.h"
#include "support/RecordingHotKeyRegistrar.h"

namespace tavlin {
namespace {

using namespace test;
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

class LeaderKeyOperationsTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        manager.setRegistrar(&registrar);
    }
    void TearDown() override {
        manager.setRegistrar(nullptr);
        TempHomeTest::TearDown();
    }
    std::vector<HotKey> storedHotKeys() {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->hotKeys;
    }

    RecordingHotKeyRegistrar registrar;
    HotKeyManager manager;
};

TEST_F(LeaderKeyOperationsTest, ARemovedLeaderKeyIsNoLongerGrabbedAfterItWasReplaced) {
    ConfigurationWindowModel model(writeAndLoad(R"({"hotKeys":[{"combo":{"info":{"keyCode":0,"modifiersCode":256}}}],
        "decision":{"actions":[],"chances":[]}})"));
    manager.registerHotKey(0, cmd);
    replaceLeaderHotKey(model, manager, HotKey::combo(11, cmd));
    addHotKey(model, manager, HotKey::combo(0, cmd));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(11, cmd), HotKey::combo(0, cmd)}));
    removeHotKey(model, manager, 1, HotKey::combo(0, cmd));
    EXPECT_EQ(registrar.grabsOf(0, cmd), 0u);
    EXPECT_EQ(registrar.grabsOf(11, cmd), 1u);
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(11, cmd)}));
    EXPECT_EQ(backupCount(), 3u);
}

TEST_F(LeaderKeyOperationsTest, RemovalChecksThePositionAndKeepsAnEqualEntryWorking) {
    ConfigurationWindowModel model(writeAndLoad(R"({"hotKeys":[],"decision":{"actions":[],"chances":[]}})"));
    addHotKey(model, manager, HotKey::combo(0, cmd));
    addHotKey(model, manager, HotKey::combo(0, cmd));
    addHotKey(model, manager, HotKey::singleModifier(Modifier::shift));
    diag::Capture capture;
    // A position whose entry is another key now: nothing is removed.
    removeHotKey(model, manager, 2, HotKey::combo(0, cmd));
    removeHotKey(model, manager, 7, HotKey::combo(0, cmd));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(storedHotKeys().size(), 3u);

    removeHotKey(model, manager, 0, HotKey::combo(0, cmd));
    EXPECT_EQ(registrar.grabsOf(0, cmd), 1u);
    removeHotKey(model, manager, 1, HotKey::singleModifier(Modifier::shift));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(0, cmd)}));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", ""}));
}

TEST_F(LeaderKeyOperationsTest, EmptyingOrASingleModifierLeavesNothingGrabbedAndARefusalIsStillSaved) {
    ConfigurationWindowModel model(writeAndLoad(R"({"hotKeys":[],"decision":{"actions":[],"chances":[]}})"));
    replaceLeaderHotKey(model, manager, HotKey::combo(0, cmd));
    replaceLeaderHotKey(model, manager, HotKey::singleModifier(Modifier::option));
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::singleModifier(Modifier::option)}));
    replaceLeaderHotKey(model, manager, HotKey::combo(0, cmd));
    replaceLeaderHotKey(model, manager, std::nullopt);
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(manager.hotKeysByID.empty());
    EXPECT_TRUE(storedHotKeys().empty());

    registrar.heldElsewhere.insert({11, cmd});
    diag::Capture capture;
    addHotKey(model, manager, HotKey::combo(11, cmd));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(11, cmd)}));
    ASSERT_FALSE(capture.lines().empty());
    EXPECT_EQ(capture.lines()[0], "failed to register (11)");
    // An unknown key code is refused by the registrar with a line, and kept.
    addHotKey(model, manager, HotKey::combo(900, cmd));
    EXPECT_EQ(storedHotKeys().size(), 2u);
}

} // namespace
} // namespace tavlin
