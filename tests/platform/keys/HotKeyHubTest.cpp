#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/keys/HotKeyHub.h"
#include "support/RecordingHotKeyRegistrar.h"

namespace tavlin {
namespace {

constexpr std::uint32_t keyJ = 38, keyK = 40, control = 0x1000, option = 0x800;

class HotKeyHubTest : public ::testing::Test {
protected:
    void SetUp() override {
        leader.setHandlers([this](std::uint32_t id) { log.push_back("leader down " + std::to_string(id)); },
                           [this](std::uint32_t id) { log.push_back("leader up " + std::to_string(id)); });
        shortcuts.setHandlers([this](std::uint32_t id) { log.push_back("shortcut down " + std::to_string(id)); },
                              [this](std::uint32_t id) { log.push_back("shortcut up " + std::to_string(id)); });
    }

    test::RecordingHotKeyRegistrar registrar;
    HotKeyHub hub{&registrar};
    HotKeyRegistrar& leader = hub.addClient();
    HotKeyRegistrar& shortcuts = hub.addClient();
    std::vector<std::string> log;
};

TEST_F(HotKeyHubTest, aCombinationHeldByTwoClientsIsGrabbedOnceAndReportedToEachOnce) {
    const auto first = leader.registerHotKey(keyJ, control | option, 7);
    const auto again = leader.registerHotKey(keyJ, control | option, 8);
    const auto other = shortcuts.registerHotKey(keyJ, control | option, 1);
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(again.status, 0);
    ASSERT_EQ(other.status, 0);
    EXPECT_NE(first.reference, again.reference);
    EXPECT_EQ(registrar.grabsOf(keyJ, control | option), 1u);
    EXPECT_EQ(hub.grabCount(), 1u);

    registrar.press(keyJ, control | option);
    registrar.release(keyJ, control | option);
    // Each client hears its oldest registration, once.
    EXPECT_EQ(log, (std::vector<std::string>{"leader down 7", "shortcut down 1", "leader up 7", "shortcut up 1"}));
}

TEST_F(HotKeyHubTest, oneClientLettingGoLeavesTheOtherHeardAndGrabbed) {
    const auto mine = leader.registerHotKey(keyJ, control, 3);
    shortcuts.registerHotKey(keyJ, control, 4);
    leader.unregisterHotKey(mine.reference);
    EXPECT_EQ(registrar.grabsOf(keyJ, control), 1u);
    registrar.press(keyJ, control);
    EXPECT_EQ(log, (std::vector<std::string>{"shortcut down 4"}));

    // Clearing handlers silences only that client.
    log.clear();
    leader.registerHotKey(keyJ, control, 5);
    shortcuts.setHandlers(nullptr, nullptr);
    registrar.press(keyJ, control);
    EXPECT_EQ(log, (std::vector<std::string>{"leader down 5"}));
}

TEST_F(HotKeyHubTest, theGrabGoesWithTheLastHolder) {
    const auto a = leader.registerHotKey(keyK, control, 1);
    const auto b = shortcuts.registerHotKey(keyK, control, 2);
    shortcuts.unregisterHotKey(b.reference);
    EXPECT_EQ(registrar.grabsOf(keyK, control), 1u);
    leader.unregisterHotKey(a.reference);
    EXPECT_EQ(registrar.grabsOf(keyK, control), 0u);
    // Unknown references are no error.
    leader.unregisterHotKey(a.reference);
    leader.unregisterHotKey(12345);
    EXPECT_EQ(hub.grabCount(), 0u);
}

TEST_F(HotKeyHubTest, refusalsReachTheClientAndLeaveNothing) {
    registrar.heldElsewhere.insert({keyK, option});
    const auto refused = leader.registerHotKey(keyK, option, 1);
    EXPECT_EQ(refused.status, -9878);
    EXPECT_EQ(refused.reference, 0u);
    EXPECT_EQ(hub.grabCount(), 0u);
    EXPECT_TRUE(shortcuts.isHeldByAnotherProgram(keyK, option));
    EXPECT_FALSE(shortcuts.isHeldByAnotherProgram(keyJ, option));
    registrar.press(keyK, option);
    EXPECT_TRUE(log.empty());
}

TEST_F(HotKeyHubTest, aHandlerMayChangeHotKeysWhileAPressIsReported) {
    const auto a = leader.registerHotKey(keyJ, control, 1);
    shortcuts.registerHotKey(keyJ, control, 2);
    leader.setHandlers(
        [&](std::uint32_t) {
            leader.unregisterHotKey(a.reference);
            log.push_back("leader");
        },
        nullptr);
    registrar.press(keyJ, control);
    EXPECT_EQ(log, (std::vector<std::string>{"leader", "shortcut down 2"}));
}

TEST(HotKeyHubLifetimeTest, replacingOrDroppingTheRegistrarUngrabsEverything) {
    test::RecordingHotKeyRegistrar first, second;
    {
        HotKeyHub hub(&first);
        auto& client = hub.addClient();
        client.registerHotKey(keyJ, control, 1);
        hub.setRegistrar(&second);
        EXPECT_TRUE(first.grabs.empty());
        EXPECT_FALSE(first.pressed);
        // The client's old hot keys are gone with the old registrar.
        EXPECT_EQ(client.registerHotKey(keyJ, control, 1).status, 0);
        EXPECT_EQ(second.grabs.size(), 1u);
    }
    EXPECT_TRUE(second.grabs.empty());
    EXPECT_FALSE(second.pressed);

    HotKeyHub without;
    EXPECT_NE(without.addClient().registerHotKey(keyJ, control, 1).status, 0);
}

} // namespace
} // namespace tavlin
