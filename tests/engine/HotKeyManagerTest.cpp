#include <algorithm>

#include <gtest/gtest.h>

#include "LeaderKeyHarness.h"
#include "engine/HotKeyManager.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::test {
namespace {

// A manager of its own, so that identifiers start at 1 whatever other tests registered.
class HotKeyManagerTest : public ::testing::Test {
protected:
    FakeHotKeyRegistrar registrar;
    HotKeyManager manager;
    void SetUp() override { manager.setRegistrar(&registrar); }
    void TearDown() override { manager.setRegistrar(nullptr); }
};

TEST_F(HotKeyManagerTest, IdentifiersStartAtOneAndRefusalsStillUseOne) {
    registrar.heldByAnotherProgram.insert({1, 0x100});
    manager.registerHotKey(0, 0x100);
    diag::Capture capture;
    manager.registerHotKey(1, 0x100);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{
                  "failed to register (1)",
                  "another process has already registered the same hotkey using the kEventHotKeyExclusive option"}));
    manager.registerHotKey(2, 0x100);
    EXPECT_EQ(registrar.identifiersSeen, (std::vector<std::uint32_t>{1, 2, 3}));
    ASSERT_EQ(manager.hotKeysByID.size(), 2u);
    EXPECT_EQ(manager.hotKeysByID.at(1).keyCode, 0u);
    EXPECT_EQ(manager.hotKeysByID.at(3).keyCode, 2u);
    EXPECT_FALSE(manager.isRegistered(1, 0x100));
    EXPECT_EQ(manager.lastHotKeyID(), 3u);
}

TEST_F(HotKeyManagerTest, OtherRefusalsPrintTheirStatus) {
    registrar.failureStatus = -50;
    diag::Capture capture;
    manager.registerHotKey(12, 0x1000);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"failed to register (12)", "unexpected error while registering hot keys: -50"}));
    EXPECT_TRUE(manager.hotKeysByID.empty());
}

TEST_F(HotKeyManagerTest, LookupsMatchKeyCodeAndMaskExactly) {
    manager.registerHotKey(0, 0x900);
    EXPECT_TRUE(manager.isRegistered(0, 0x900));
    EXPECT_FALSE(manager.isRegistered(0, 0x100));
    EXPECT_FALSE(manager.isRegistered(1, 0x900));
    EXPECT_EQ(manager.eventHotKey(0, 0x900), manager.hotKeysByID.at(1).eventHotKey);
    EXPECT_EQ(manager.eventHotKey(0, 0x800), std::nullopt);
}

TEST_F(HotKeyManagerTest, SameCombinationTwiceGivesTwoRecords) {
    manager.registerHotKey(0, 0x100);
    manager.registerHotKey(0, 0x100);
    ASSERT_EQ(manager.hotKeysByID.size(), 2u);
    EXPECT_NE(manager.hotKeysByID.at(1).eventHotKey, manager.hotKeysByID.at(2).eventHotKey);
    const auto found = manager.eventHotKey(0, 0x100);
    ASSERT_TRUE(found);
    EXPECT_TRUE(*found == manager.hotKeysByID.at(1).eventHotKey || *found == manager.hotKeysByID.at(2).eventHotKey);

    // Unregistering one by combination takes one record at a time, never a reference twice.
    EXPECT_TRUE(manager.unregisterHotKey(0, 0x100));
    EXPECT_TRUE(manager.isRegistered(0, 0x100));
    EXPECT_TRUE(manager.unregisterHotKey(0, 0x100));
    EXPECT_FALSE(manager.isRegistered(0, 0x100));
    EXPECT_FALSE(manager.unregisterHotKey(0, 0x100));
    EXPECT_EQ(registrar.unregistered.size(), 2u);
    EXPECT_EQ(registrar.unknownUnregistrations, 0);
}

TEST_F(HotKeyManagerTest, UnregisteringAllEmptiesTheTableAndIdentifiersGoOn) {
    manager.registerHotKey(0, 0x100);
    manager.registerHotKey(1, 0x200);
    const auto references = eventHotKeys(manager.hotKeysByID);
    manager.unregisterAll();
    EXPECT_TRUE(manager.hotKeysByID.empty());
    EXPECT_FALSE(manager.isRegistered(0, 0x100));
    EXPECT_EQ(registrar.unregistered, references);
    EXPECT_TRUE(registrar.grabs.empty());

    manager.unregisterAll();
    EXPECT_EQ(registrar.unregistered.size(), 2u) << "nothing is unregistered twice";

    manager.registerHotKey(0, 0x100);
    EXPECT_EQ(manager.hotKeysByID.begin()->first, 3u);
    EXPECT_TRUE(eventHotKeys({}).empty());
}

TEST_F(HotKeyManagerTest, HotKeysGoWithTheirRegistrar) {
    manager.registerHotKey(0, 0x100);
    FakeHotKeyRegistrar other;
    manager.setRegistrar(&other);
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(manager.hotKeysByID.empty());
    manager.registerHotKey(0, 0x100);
    EXPECT_EQ(other.grabs.size(), 1u);
    manager.setRegistrar(&registrar);
    EXPECT_TRUE(other.grabs.empty());
}

TEST(HotKeyManagerLifetime, DestructionUnregistersEverything) {
    FakeHotKeyRegistrar registrar;
    {
        HotKeyManager manager;
        manager.setRegistrar(&registrar);
        manager.registerHotKey(0, 0x100);
        manager.registerHotKey(1, 0x100);
    }
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_EQ(registrar.unregistered.size(), 2u);
}

TEST(HotKeyManagerSignature, IsTheFourCharacterCodeOfQRTX) { EXPECT_EQ(HotKeyManager::hotKeySignature(), 0x51525458u); }

} // namespace
} // namespace tavlin::test
