#include <gtest/gtest.h>

#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/LeaderKeyOperations.h"
#include "model/KeyNames.h"
#include "support/RecordingHotKeyRegistrar.h"

namespace tavlin {
namespace {

using namespace test;
using Modifier = HotKey::SingleTapModifier;

constexpr std::uint32_t cmd = carbon::command;

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
