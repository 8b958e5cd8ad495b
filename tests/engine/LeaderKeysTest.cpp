#include "engine/LeaderKeys.h"
#include "LeaderKeyHarness.h"
#include "model/Settings.h"
#include "platform/files/Files.h"

namespace tavlin::test {
namespace {

using Modifier = HotKey::SingleTapModifier;
using eventFlags::command;
using eventFlags::control;
using eventFlags::option;

constexpr std::uint32_t aKey = 0;
constexpr std::uint32_t commandOption = 0x900;

class LeaderKeysTest : public LeaderKeyTest {
protected:
    void writeLeaderKeys(std::vector<HotKey> hotKeys) {
        writeConfiguration(Decision::make({}, {keyChance(11, {})}), std::move(hotKeys));
    }
    void writeComboAndOption() {
        writeLeaderKeys({HotKey::combo(aKey, commandOption), HotKey::singleModifier(Modifier::option)});
    }

    // The combination pressed and released, and the delayed release delivered.
    void pressCombo() {
        registrar.press(aKey, commandOption);
        registrar.release(aKey, commandOption);
        queue.advance(0.05);
    }
    // A modifier tapped in another application, and the delayed release delivered.
    void tap(std::uint64_t modifier, int keyCode) {
        tapGlobally(modifier, keyCode, 0.05);
        queue.advance(0.05);
    }

    bool everythingOff() const {
        return registrar.grabs.empty() && !registrar.handlersInstalled() && monitor.locals.empty() && monitor.globals.empty() &&
               !monitor.observer && HotKeyManager::shared().hotKeysByID.empty();
    }

    std::filesystem::path configurationPath() const { return *Configuration::fileURL(); }
};

TEST_F(LeaderKeysTest, ComboAndSingleModifierBothToggleTheWindow) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    ASSERT_EQ(registrar.grabs.size(), 1u);
    EXPECT_TRUE(HotKeyManager::shared().isRegistered(aKey, commandOption));

    // The press only records the leader key; the release shows the window.
    registrar.press(aKey, commandOption);
    EXPECT_EQ(currentLeaderKey(), HotKey::combo(aKey, commandOption));
    EXPECT_FALSE(window.isKeyWindow());
    registrar.release(aKey, commandOption);
    queue.advance(0.05);
    EXPECT_TRUE(window.isKeyWindow());
    // Pressed again while the window is key, it hides the window; once more shows it.
    pressCombo();
    EXPECT_FALSE(window.isKeyWindow());
    pressCombo();
    EXPECT_TRUE(window.isKeyWindow());
    window.orderOut();

    tap(option, 58);
    EXPECT_EQ(currentLeaderKey(), HotKey::singleModifier(Modifier::option));
    EXPECT_TRUE(window.isKeyWindow());
    tap(option, 58);
    EXPECT_FALSE(window.isKeyWindow());

    // Command is no leader key here: nothing is recorded, nothing opens.
    tap(command, 55);
    EXPECT_EQ(currentLeaderKey(), HotKey::singleModifier(Modifier::option));
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, ReloadInstallsTheWindowsEventHandler) {
    writeComboAndOption();
    InputWindowManager::shared().windowEventHandler = nullptr;
    reloadLeaderKeys(false);
    EXPECT_TRUE(InputWindowManager::shared().windowEventHandler);
}

TEST_F(LeaderKeysTest, MissingFileIsCreatedAndArmed) {
    reloadLeaderKeys(false);
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(files::exists(configurationPath()));
    EXPECT_EQ(monitor.locals.size(), 1u);
}

TEST_F(LeaderKeysTest, BrokenFileAlertsAndLeavesEveryLeaderKeyOff) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    ASSERT_FALSE(everythingOff());

    writeFile(configurationPath(), "{ not json");
    InputWindowManager::shared().windowEventHandler = nullptr;
    reloadLeaderKeys(false);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Invalid configuration file");
    EXPECT_FALSE(alerts[0].informativeText.empty());
    EXPECT_TRUE(everythingOff());
    EXPECT_FALSE(InputWindowManager::shared().windowEventHandler) << "the window's handler stays as it was";
    EXPECT_EQ(registrar.unknownUnregistrations, 0);

    EXPECT_FALSE(registrar.press(aKey, commandOption));
    tap(option, 58);
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, UnregisterThenReloadWorksAgainWithNewIdentifiers) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    const auto firstID = HotKeyManager::shared().hotKeysByID.begin()->first;

    unregisterAllLeaderKeys();
    EXPECT_TRUE(everythingOff());
    EXPECT_FALSE(registrar.press(aKey, commandOption));
    tap(option, 58);
    EXPECT_FALSE(window.isKeyWindow());

    reloadLeaderKeys(false);
    ASSERT_EQ(HotKeyManager::shared().hotKeysByID.size(), 1u);
    EXPECT_GT(HotKeyManager::shared().hotKeysByID.begin()->first, firstID);
    pressCombo();
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, ReloadReplacesTheHotKeysInsteadOfAddingToThem) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    reloadLeaderKeys(false);
    EXPECT_EQ(registrar.grabs.size(), 1u);
    EXPECT_EQ(HotKeyManager::shared().hotKeysByID.size(), 1u);
}

TEST_F(LeaderKeysTest, SwitchingOffWhileAReleaseIsPendingNeverOpensTheWindow) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    tapGlobally(option, 58, 0.05);
    queue.advance(0.005);
    unregisterAllLeaderKeys();
    queue.advance(0.1);
    EXPECT_EQ(currentLeaderKey(), HotKey::singleModifier(Modifier::option));
    EXPECT_FALSE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, RefusedCombinationLeavesTheOtherLeaderKeysArmed) {
    writeLeaderKeys({HotKey::combo(aKey, commandOption), HotKey::combo(11, 0x100), HotKey::singleModifier(Modifier::option)});
    registrar.heldByAnotherProgram.insert({aKey, commandOption});
    diag::Capture capture;
    reloadLeaderKeys(false);
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "failed to register (0)"));
    EXPECT_FALSE(HotKeyManager::shared().isRegistered(aKey, commandOption));
    EXPECT_TRUE(HotKeyManager::shared().isRegistered(11, 0x100));
    tap(option, 58);
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, SkippingHotKeysKeepsThemAsTheyAre) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    const auto before = HotKeyManager::shared().hotKeysByID.size();
    reloadLeaderKeys(true);
    EXPECT_EQ(HotKeyManager::shared().hotKeysByID.size(), before);
    EXPECT_EQ(registrar.grabs.size(), 1u);
    EXPECT_FALSE(registrar.handlersInstalled());
    tap(option, 58);
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, EditedSingleModifierTakesEffectOnceTheCacheIsCleared) {
    writeLeaderKeys({HotKey::singleModifier(Modifier::option)});
    reloadLeaderKeys(false);
    tap(option, 58);
    EXPECT_TRUE(window.isKeyWindow());
    window.orderOut();

    // The file changes behind the callback's back: its cached leader keys still hold.
    writeLeaderKeys({HotKey::singleModifier(Modifier::control)});
    tap(control, 59);
    EXPECT_FALSE(window.isKeyWindow());

    // A save clears the cache: the next tap reads the file.
    cachedLeaderKeys().reset();
    tap(option, 58);
    EXPECT_FALSE(window.isKeyWindow());
    tap(control, 59);
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(currentLeaderKey(), HotKey::singleModifier(Modifier::control));
}

TEST_F(LeaderKeysTest, UnreadableFileDuringATapDoesNothingAndIsReadAgainLater) {
    writeLeaderKeys({HotKey::singleModifier(Modifier::option)});
    reloadLeaderKeys(false);
    writeFile(configurationPath(), "garbage");
    cachedLeaderKeys().reset();
    diag::Capture capture;
    handleLeaderKeyEvent(58, 58, false);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(cachedLeaderKeys());

    writeLeaderKeys({HotKey::singleModifier(Modifier::option)});
    handleLeaderKeyEvent(58, 58, false);
    EXPECT_TRUE(window.isKeyWindow());
}

TEST_F(LeaderKeysTest, UnknownCodesArePrintedAndIgnored) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    diag::Capture capture;
    handleLeaderKeyEvent(57, 57, false);
    handleLeaderKeyEvent(aKey, 0x100, false);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", ""}));
    EXPECT_FALSE(currentLeaderKey());
    EXPECT_FALSE(window.isKeyWindow());
}

RunningApplication application(std::string bundlePath, std::string executable) {
    RunningApplication running;
    running.processIdentifier = 4242;
    running.bundlePath = std::move(bundlePath);
    running.executablePath = std::move(executable);
    return running;
}

// A session open when a listed application becomes active stays; reloads keep the keys released.
TEST_F(LeaderKeysTest, ReleasedLeaderKeysFollowReloadsSessionsAndTheList) {
    writeComboAndOption();
    settings::setStringList(settings::keys::disabledApplications, {"/apps/listed.desktop"});
    reloadLeaderKeys(false);
    startSession();
    leaderKeysFollowActiveApplication(application("/apps/listed.desktop", "/usr/bin/listed"));
    EXPECT_TRUE(everythingOff());
    EXPECT_TRUE(window.isKeyWindow());
    reloadLeaderKeys(false);
    EXPECT_TRUE(everythingOff());
    EXPECT_TRUE(InputWindowManager::shared().windowEventHandler);
}

TEST_F(LeaderKeysTest, ListChangesHoldAtOnceAndKeysSwitchedOffStayOff) {
    writeComboAndOption();
    reloadLeaderKeys(false);
    leaderKeysFollowActiveApplication(application("/apps/app.desktop", "/opt/app/bin/app"));
    EXPECT_FALSE(leaderKeysReleasedForActiveApplication());
    // Listed by its executable, in another spelling.
    settings::setStringList(settings::keys::disabledApplications, {"/opt/app//bin/./app"});
    leaderKeysFollowDisabledApplications();
    EXPECT_TRUE(everythingOff());
    settings::setStringList(settings::keys::disabledApplications, {});
    leaderKeysFollowDisabledApplications();
    EXPECT_EQ(registrar.grabs.size(), 1u);

    // Switched off by their editor: another application changes nothing until it arms them.
    unregisterAllLeaderKeys();
    settings::setStringList(settings::keys::disabledApplications, {"/apps/app.desktop"});
    leaderKeysFollowDisabledApplications();
    leaderKeysFollowActiveApplication(application("/apps/other.desktop", "/usr/bin/other"));
    EXPECT_TRUE(everythingOff());
    EXPECT_FALSE(isDisabledApplication(application("/apps/app.desktop.old", ""), {"/apps/app.desktop", ""}));
}

} // namespace
} // namespace tavlin::test
