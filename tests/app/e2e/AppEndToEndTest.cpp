// The real `tavlin` as a user meets it: started in a throwaway home, driven by key presses and
// clicks through XTest and by its own client commands, watched through the keyboard grab it
// takes and releases and through the URLs its actions hand to xdg-open.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/XDriver.h"
#include "model/KeyNames.h"
#include "model/LaidOutText.h"
#include "model/Settings.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int keyA = 0, keyB = 11, keyT = 17, keyDown = 125;
constexpr auto focusHandOver = std::chrono::milliseconds(300);
constexpr const char* leafURL = "https://example.org/after-a-then-b";

// Tree mode: Super alone and control+option+T lead in; A then B reaches the leaf.
const std::string treeConfiguration = R"({
  "hotKeys": [
    {"singleModifier": {"info": {"singleTapModifier": "⌘"}}},
    {"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}
  ],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [0]}},
     "decision": {"actions": [], "chances": [
       {"pattern": {"key": {"allowedKeyCodes": [11]}},
        "decision": {"actions": [{"openURL": {"url": "https://example.org/after-a-then-b"}}], "chances": []}}
     ]}}
  ]}
})";

class AppEndToEndTest : public DesktopTest {
protected:
    // Starts the application and waits until it says it is ready.
    ::testing::AssertionResult launch() {
        app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
        if (!app_->waitUntilReady()) return ::testing::AssertionFailure() << "not ready\n" << app_->outputTail();
        return ::testing::AssertionSuccess();
    }
    // ... and until its configuration window has the focus, as it takes it after that.
    ::testing::AssertionResult launchWithWindowFocused() {
        if (auto ready = launch(); !ready) return ready;
        if (!seat_->waitForFocusOn(app_->pid())) return ::testing::AssertionFailure() << "the configuration window got no focus";
        return ::testing::AssertionSuccess();
    }
    // Starts the application and waits until it is ready and our window has the focus back.
    ::testing::AssertionResult start() {
        if (auto ready = launch(); !ready) return ready;
        return takeFocusBack();
    }
    ::testing::AssertionResult startOnTree() {
        home_->writeConfiguration(treeConfiguration);
        return start();
    }
    // Our window takes the focus from the application's, so that keys reach its leader keys.
    ::testing::AssertionResult takeFocusBack() {
        if (!seat_->takeFocusFrom(app_->pid())) return ::testing::AssertionFailure() << "our window got no focus";
        // Qt keeps a window that lost the focus active for about 0.1 s, in case the focus comes
        // back; until then the application takes keys as typed into itself. Nothing on the
        // server tells when it gives up, so wait it out: the tests type into another program.
        std::this_thread::sleep_for(focusHandOver);
        return ::testing::AssertionSuccess();
    }
    // The configuration window with the focus, once Qt has taken it in; nothing when not found.
    std::optional<UserSeat::Geometry> focusConfigurationWindow() {
        const auto window = seat_->giveFocusTo(app_->pid(), "Configuration");
        if (window) std::this_thread::sleep_for(focusHandOver);
        return window;
    }

    int client(std::vector<std::string> arguments) { return runClient(TAVLIN_EXECUTABLE, arguments, *home_, bus_->address()); }

    // Leader keys as typed.
    void tapSuper(std::chrono::milliseconds held = 0ms) {
        seat_->press(xSuperKey());
        if (held > 0ms) std::this_thread::sleep_for(held);
        seat_->release(xSuperKey());
    }
    // Taps Super alone and waits for the session's grab.
    ::testing::AssertionResult openedByTap() {
        const auto since = seat_->counts();
        tapSuper();
        return sessionOpened(since);
    }
    // Control+option+T typed as a person types it: the key held for a moment, the modifiers let
    // go a little after it (the last tests type it faster). The application grabs the
    // combination while it is down, which our window sees as one grab and release of its own
    // before the session's grab.
    ::testing::AssertionResult openedByCombo(std::chrono::milliseconds held = 100ms,
                                             std::chrono::milliseconds modifiersAfter = 40ms) {
        const auto since = seat_->counts();
        seat_->press(xControlKey());
        seat_->press(xAltKey());
        seat_->press(xKey(keyT));
        std::this_thread::sleep_for(held);
        seat_->release(xKey(keyT));
        std::this_thread::sleep_for(modifiersAfter);
        seat_->release(xAltKey());
        seat_->release(xControlKey());
        return sessionOpened(since, 1);
    }
    // A then B, the tree's way to its leaf, which ends the session.
    ::testing::AssertionResult walkedToTheLeaf() {
        const auto since = seat_->counts();
        seat_->tap(xKey(keyA));
        seat_->tap(xKey(keyB));
        return sessionEnded(since);
    }

    std::string describe(UserSeat::Counts since) const {
        const auto now = seat_->counts();
        return "grabs " + std::to_string(now.grabs - since.grabs) + ", releases " +
               std::to_string(now.releases - since.releases) + " since the step began";
    }

    // Waits for the session's grab after `since`; `before` other grabs come first.
    ::testing::AssertionResult sessionOpened(UserSeat::Counts since, int before = 0) {
        if (seat_->waitForGrabs(since, before + 1) && seat_->keyboardHeld()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the input window did not take the keyboard (" << describe(since) << ")\n"
                                             << app_->outputTail();
    }
    ::testing::AssertionResult endedByEscape() {
        const auto since = seat_->counts();
        seat_->tap(xKey(keycodes::escape));
        return sessionEnded(since);
    }
    ::testing::AssertionResult sessionEnded(UserSeat::Counts since, int count = 1) {
        if (seat_->waitForReleases(since, count) && !seat_->keyboardHeld()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the input window still holds the keyboard (" << describe(since) << ")\n"
                                             << app_->outputTail();
    }
    // No session opens within a generous multiple of the 10 ms the application waits after a
    // leader key's release: a quick tap afterwards then shows it still listens.
    ::testing::AssertionResult noSessionOpensThenATapDoes(UserSeat::Counts since) {
        if (seat_->waitForGrabs(since, 1, 300ms)) return ::testing::AssertionFailure() << "a session opened";
        if (!openedByTap()) return ::testing::AssertionFailure() << "a quick tap afterwards opened no session";
        if (!endedByEscape()) return ::testing::AssertionFailure() << "escape did not end the session";
        return ::testing::AssertionSuccess();
    }

    // The input window once it shows a hint and has stopped moving.
    std::optional<UserSeat::Geometry> shownHint() {
        std::optional<UserSeat::Geometry> shown;
        int steady = 0;
        seat_->waitUntil([&] {
            const auto now = seat_->shownInputWindow(app_->pid());
            const bool same = now && shown && now->x == shown->x && now->y == shown->y && now->width == shown->width &&
                              now->height == shown->height;
            steady = same ? steady + 1 : 0;
            shown = now;
            return steady >= 10;
        });
        return steady >= 10 ? shown : std::nullopt;
    }
    // Placed in the middle across, above the middle down. The content may still widen the
    // window a little after it was placed, so "middle" is loose.
    ::testing::AssertionResult placedAboveTheMiddle(const UserSeat::Geometry& window) {
        const int across = window.x + window.width / 2 - seat_->screenWidth() / 2;
        const int down = window.y + window.height / 2 - seat_->screenHeight() / 2;
        if (std::abs(across) <= seat_->screenWidth() / 20 && down < 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the hint shows at " << window.x << "," << window.y << " (" << window.width << "x" << window.height << ")";
    }

    bool waitForOpenedURLs(std::size_t count) {
        return pollUntil([&] { return home_->openedURLs().size() >= count; });
    }
    // Waits until the configuration file holds `text`, or no longer holds it.
    bool waitForConfiguration(const std::string& text, bool held = true) {
        return pollUntil([&] { return (fileText(home_->configurationFile()).find(text) != std::string::npos) == held; }, 20s);
    }
    // Opens the context menu at the pointer and picks its fifth entry, Delete.
    void deleteByContextMenu() {
        seat_->click(3);
        std::this_thread::sleep_for(focusHandOver);
        for (int step = 0; step < 4; ++step) seat_->tap(xKey(keyDown));
        seat_->tap(xKey(keycodes::returnKey));
    }
};

TEST_F(AppEndToEndTest, FirstLaunchStoresDefaultRowsAndGeneratesTheConfigurationFromThem) {
    ASSERT_FALSE(std::filesystem::exists(home_->configurationFile()));
    ASSERT_TRUE(start());

    const auto configuration = nlohmann::json::parse(fileText(home_->configurationFile()), nullptr, false);
    ASSERT_TRUE(configuration.is_object()) << fileText(home_->configurationFile());
    ASSERT_TRUE(configuration.contains("authorInfo"));
    EXPECT_NE(configuration["authorInfo"].get<std::string>().find("flat_rows"), std::string::npos);
    const auto settingsFile = home_->root() / "config" / "local.tavlin" / "local.tavlin.app.json";
    const auto stored = nlohmann::json::parse(fileText(settingsFile), nullptr, false);
    EXPECT_TRUE(stored.is_object() && stored.contains(settings::keys::flatKeysAndActionRows)) << fileText(settingsFile);

    // The generated leader key is live: Super alone opens a session.
    ASSERT_TRUE(openedByTap());
    ASSERT_TRUE(endedByEscape());
    EXPECT_TRUE(app_->stop()) << "SIGTERM should end the application with status 0\n" << app_->outputTail();
}

TEST_F(AppEndToEndTest, TheConfigurationWindowDeletesARowChosenByKeyboardAndBacksTheFileUp) {
    ASSERT_TRUE(startOnTree());
    const auto window = focusConfigurationWindow();
    ASSERT_TRUE(window);
    const auto backups = home_->configurationFile().parent_path() / "backup";
    // A click on the tree's blank space (low in its middle) gives it the keyboard; Down selects
    // its first row, the chance on A; the context menu there deletes it.
    seat_->movePointer(window->x + window->width / 2, window->y + window->height / 2);
    seat_->click();
    seat_->tap(xKey(keyDown));
    deleteByContextMenu();
    ASSERT_TRUE(pollUntil([&] { return std::filesystem::exists(backups); })) << app_->outputTail();
    const auto stored = nlohmann::json::parse(fileText(home_->configurationFile()), nullptr, false);
    ASSERT_TRUE(stored.is_object());
    EXPECT_TRUE(stored["decision"]["chances"].empty()) << stored.dump();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(backups), std::filesystem::directory_iterator()), 1);
    EXPECT_TRUE(app_->stop());
}

TEST_F(AppEndToEndTest, ALoneSuperTapAndAKeyCombinationEachOpenTheInputWindow) {
    ASSERT_TRUE(startOnTree());

    ASSERT_TRUE(openedByTap());
    ASSERT_TRUE(endedByEscape());

    ASSERT_TRUE(openedByCombo());
    EXPECT_TRUE(endedByEscape());
    EXPECT_TRUE(home_->openedURLs().empty());
}

TEST_F(AppEndToEndTest, KeysTypedInASessionWalkTheTreeAndTheLeafRunsItsAction) {
    ASSERT_TRUE(startOnTree());

    ASSERT_TRUE(openedByCombo());
    EXPECT_TRUE(walkedToTheLeaf());
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{leafURL});
    // A tree written by hand is used as it is, never regenerated.
    EXPECT_EQ(fileText(home_->configurationFile()), treeConfiguration);

    // The next session starts again at the root.
    ASSERT_TRUE(openedByTap());
    EXPECT_TRUE(walkedToTheLeaf());
    ASSERT_TRUE(waitForOpenedURLs(2));
}

// Keys typed in one burst reach leaves that start the session over: each restarted session
// reports its leader key before it takes the next key, which waits for that; none is lost.
TEST_F(AppEndToEndTest, ABurstOfKeysThroughLeavesThatWaitAgainRunsEveryBinding) {
    home_->writeConfiguration(R"({
  "hotKeys": [{"singleModifier": {"info": {"singleTapModifier": "⌘"}}}],
  "decision": {"actions": [{"getLeaderKey": {}}], "chances": [
    {"pattern": {"message": {"regex": ".*"}}, "decision": {"actions": [], "chances": [
      {"pattern": {"key": {"allowedKeyCodes": [0]}},
       "decision": {"actions": [{"openURL": {"url": "https://example.org/a"}}, {"reWaitTriggerKeys": {}}], "chances": []}},
      {"pattern": {"key": {"allowedKeyCodes": [11]}},
       "decision": {"actions": [{"openURL": {"url": "https://example.org/b"}}, {"reWaitTriggerKeys": {}}], "chances": []}},
      {"pattern": {"key": {"allowedKeyCodes": [8]}},
       "decision": {"actions": [{"openURL": {"url": "https://example.org/c"}}], "chances": []}}
    ]}}
  ]}
})");
    ASSERT_TRUE(start());
    constexpr int keyC = 8;
    const std::vector<std::string> burst{"https://example.org/a", "https://example.org/b", "https://example.org/c"};
    std::vector<std::string> expected;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(openedByTap());
        const auto since = seat_->counts();
        for (const int key : {keyA, keyB, keyC}) seat_->tap(xKey(key));
        ASSERT_TRUE(sessionEnded(since)) << "round " << round;
        expected.insert(expected.end(), burst.begin(), burst.end());
        ASSERT_TRUE(waitForOpenedURLs(expected.size())) << app_->outputTail();
    }
    // The openers run side by side and record in the order they come to it.
    auto opened = home_->openedURLs();
    std::sort(opened.begin(), opened.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(opened, expected);
}

TEST_F(AppEndToEndTest, EscapeOrAClickOutsideTheWindowEndsTheSession) {
    ASSERT_TRUE(startOnTree());

    ASSERT_TRUE(openedByTap());
    seat_->tap(xKey(keyA)); // half-way down the tree
    ASSERT_TRUE(endedByEscape());

    ASSERT_TRUE(openedByTap());
    seat_->tap(xKey(keyA));
    const auto mark = seat_->counts();
    seat_->movePointer(seat_->screenWidth() - 60, seat_->screenHeight() - 60); // on our own window
    seat_->click();
    EXPECT_TRUE(sessionEnded(mark));
}

TEST_F(AppEndToEndTest, ClientCommandsStartAWalkAndEndASession) {
    ASSERT_TRUE(startOnTree());

    auto mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_TRUE(sessionOpened(mark));
    mark = seat_->counts();
    ASSERT_EQ(client({"ke", "key", std::to_string(keyA)}), 0);
    ASSERT_EQ(client({"ke", "key", std::to_string(keyB)}), 0);
    EXPECT_TRUE(sessionEnded(mark));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{leafURL});

    mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_TRUE(sessionOpened(mark));
    mark = seat_->counts();
    ASSERT_EQ(client({"ke", "key", std::to_string(keyA)}), 0);
    ASSERT_EQ(client({"ke", "end"}), 0);
    EXPECT_TRUE(sessionEnded(mark));
    EXPECT_EQ(home_->openedURLs().size(), 1u);
}

TEST_F(AppEndToEndTest, ASecondStartHandsOverToTheRunningInstanceAndExits) {
    ASSERT_TRUE(startOnTree());
    // The hand-over brings the first's configuration window forward: the keyboard focus may be
    // there when the keys come, and the input window's grab shows where the focus is.
    seat_->watchWindowsOf(app_->pid());

    AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, bus_->address());
    const auto status = second.waitForExit(5s);
    ASSERT_TRUE(status.has_value()) << "the second instance kept running\n" << second.outputTail();
    EXPECT_EQ(*status, 0) << second.outputTail();
    EXPECT_FALSE(second.printedReady()) << "the second instance armed its own leader keys";
    ASSERT_TRUE(app_->running());

    // The first still owns both leader keys, its own window focused or not.
    ASSERT_TRUE(openedByCombo());
    EXPECT_TRUE(walkedToTheLeaf());
    EXPECT_TRUE(waitForOpenedURLs(1));
    ASSERT_TRUE(openedByTap());
    EXPECT_TRUE(endedByEscape());
}

TEST_F(AppEndToEndTest, AWaitingDecisionShowsItsHintAboveTheMiddleOfTheScreen) {
    ASSERT_TRUE(startOnTree());

    ASSERT_TRUE(openedByTap());
    seat_->tap(xKey(keyA));
    const auto hint = shownHint();
    ASSERT_TRUE(hint) << "no hint appeared\n" << app_->outputTail();
    EXPECT_TRUE(placedAboveTheMiddle(*hint));
    EXPECT_TRUE(endedByEscape());
    EXPECT_TRUE(seat_->waitUntil([&] { return !seat_->shownInputWindow(app_->pid()); })) << "the hint stayed";
}

TEST_F(AppEndToEndTest, ALoneSuperOpensOnlyWhenReleasedQuicklyWithNothingElseBetween) {
    ASSERT_TRUE(startOnTree());

    // The default limit is 0.2 s.
    auto mark = seat_->counts();
    tapSuper(100ms);
    ASSERT_TRUE(sessionOpened(mark));
    ASSERT_TRUE(endedByEscape());

    mark = seat_->counts();
    tapSuper(500ms);
    EXPECT_TRUE(noSessionOpensThenATapDoes(mark)) << "held 0.5 s";
}

TEST_F(AppEndToEndTest, ALoneSuperFollowsTheStoredLimitAndIgnoresTapsWithOtherInput) {
    // A whole second, so that only what happens between press and release can spoil a tap.
    home_->setSetting(settings::keys::maximumSingleModifierPressAndReleaseInterval, 1.0);
    ASSERT_TRUE(startOnTree());

    auto mark = seat_->counts();
    tapSuper(500ms);
    ASSERT_TRUE(sessionOpened(mark)) << "held 0.5 s under a 1 s limit";
    ASSERT_TRUE(endedByEscape());

    mark = seat_->counts();
    seat_->press(xSuperKey());
    seat_->tap(xKey(keyA));
    seat_->release(xSuperKey());
    EXPECT_TRUE(noSessionOpensThenATapDoes(mark)) << "another key between press and release";

    seat_->movePointer(seat_->screenWidth() - 60, seat_->screenHeight() - 60); // on our own window
    mark = seat_->counts();
    seat_->press(xSuperKey());
    seat_->click();
    seat_->release(xSuperKey());
    EXPECT_TRUE(noSessionOpensThenATapDoes(mark)) << "a click between press and release";
}

// A quit that asks the windows to close is cancelled by the configuration window, which only
// hides: a termination signal must end the application whatever is on screen.
TEST_F(AppEndToEndTest, SigtermDuringASessionEndsTheApplication) {
    ASSERT_TRUE(startOnTree());
    ASSERT_TRUE(openedByTap());
    EXPECT_TRUE(app_->stop()) << "SIGTERM should end the application with status 0\n" << app_->outputTail();
}

// A session that ends before its hint has shown has no window position worth keeping: the
// hints of later sessions must not open at the corner of the screen.
TEST_F(AppEndToEndTest, ASessionEndedBeforeItsHintLeavesLaterHintsWhereTheyWere) {
    ASSERT_TRUE(startOnTree());

    ASSERT_TRUE(openedByTap());
    ASSERT_TRUE(endedByEscape());

    ASSERT_TRUE(openedByTap());
    seat_->tap(xKey(keyA));
    const auto hint = shownHint();
    ASSERT_TRUE(hint);
    EXPECT_TRUE(placedAboveTheMiddle(*hint));
    EXPECT_TRUE(endedByEscape());
}

// A combination typed fast still opens the window: the key's own press, seen by the input
// observer in the same batch as the hot key's release, and the modifiers let go within the
// release delay, are part of the combination, not typing elsewhere.
TEST_F(AppEndToEndTest, AQuickTapOfTheCombinationOpensTheInputWindow) {
    ASSERT_TRUE(startOnTree());
    ASSERT_TRUE(openedByCombo(0ms, 40ms));
    EXPECT_TRUE(endedByEscape());
}

TEST_F(AppEndToEndTest, ModifiersLetGoTogetherWithTheKeyStillOpenTheInputWindow) {
    ASSERT_TRUE(startOnTree());
    ASSERT_TRUE(openedByCombo(100ms, 0ms));
    EXPECT_TRUE(endedByEscape());
}

// The leader key typed the moment its grab appears, while the program is still starting: the
// session opens and keeps the screen and the focus, and the configuration window comes after it.
TEST_F(AppEndToEndTest, ALeaderKeyTypedAsSoonAsItIsGrabbedOpensASessionTheWindowWaitsFor) {
    home_->writeConfiguration(treeConfiguration);
    ASSERT_TRUE(seat_->takeFocusBack()) << "our window got no focus";
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    const auto first = seat_->openSessionAsSoonAsGrabbed(xKey(keyT));
    ASSERT_TRUE(first) << "no press was grabbed\n" << app_->outputTail();
    ASSERT_TRUE(first->sessionGrabbed) << "no session grabbed the keyboard from our window\n" << app_->outputTail();
    EXPECT_FALSE(seat_->waitUntil([&] { return seat_->showsWindow(app_->pid(), "Configuration"); }, 300ms))
        << "the configuration window came up over the session";
    EXPECT_TRUE(walkedToTheLeaf());
    EXPECT_TRUE(waitForOpenedURLs(1));
    EXPECT_TRUE(seat_->waitUntil([&] { return seat_->showsWindow(app_->pid(), "Configuration"); }))
        << "the configuration window did not come after the session";
}

// The main menu in the configuration window, typed as a user types it.
class MainMenuEndToEndTest : public AppEndToEndTest {
protected:
    // Starts the application on the tree and leaves it the focus: its configuration window is active.
    ::testing::AssertionResult startInFront() {
        home_->writeConfiguration(treeConfiguration);
        if (auto ready = launch(); !ready) return ready;
        if (!seat_->followFocusOf(app_->pid()))
            return ::testing::AssertionFailure() << "the configuration window got no focus\n" << app_->outputTail();
        return ::testing::AssertionSuccess();
    }
    void typeQuit() {
        seat_->press(xControlKey());
        seat_->press(xKey(keycodes::shift));
        seat_->tap(xKey(keyQ));
        seat_->release(xKey(keycodes::shift));
        seat_->release(xControlKey());
    }
    bool leaderKeyFree() { return seat_->canGrabKey(xKey(keyT), UserSeat::controlMask() | UserSeat::altMask()); }

    static constexpr int keyQ = 12, keyRight = 124;
};

// The percent-decoded text.
std::string percentDecoded(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

TEST_F(MainMenuEndToEndTest, HelpSupportHandsOneMailLinkToTheDesktop) {
    ASSERT_TRUE(startInFront());
    // Alt alone moves into the menu bar; the bar reads tavlin, Tree, Help.
    seat_->tap(xAltKey());
    seat_->tap(xKey(keyRight));
    seat_->tap(xKey(keyRight));
    seat_->tap(xKey(keyDown));
    seat_->tap(xKey(keycodes::returnKey));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    // Anything more would come at once.
    std::this_thread::sleep_for(300ms);
    const auto opened = home_->openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    const std::string prefix = "mailto:support@tavlin.example?subject=tavlin%20Support&body=";
    ASSERT_EQ(opened[0].rfind(prefix, 0), 0u) << opened[0];
    const std::string body = percentDecoded(opened[0].substr(prefix.size()));
    // Four line feeds, the version line, then the system's line with the kernel's version.
    EXPECT_EQ(body.rfind(std::string("\n\n\n\ntavlin ") + TAVLIN_APP_VERSION + "\n", 0), 0u) << body;
    EXPECT_NE(body.find("Linux ", 4), std::string::npos) << body;
    EXPECT_TRUE(app_->running());
}

TEST_F(MainMenuEndToEndTest, ControlShiftQInTheConfigurationWindowQuitsAndFreesTheLeaderKeys) {
    ASSERT_TRUE(startInFront());
    ASSERT_FALSE(leaderKeyFree()) << "the application holds its leader key";
    typeQuit();
    const auto status = app_->waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "still running\n" << app_->outputTail();
    EXPECT_EQ(*status, 0) << app_->outputTail();
    EXPECT_TRUE(leaderKeyFree());
}

TEST_F(MainMenuEndToEndTest, ControlShiftQTypedInASessionBelongsToTheSession) {
    ASSERT_TRUE(startInFront());
    ASSERT_TRUE(openedByTap());
    // Q leads nowhere in the tree: the session ends on it, the application stays.
    auto mark = seat_->counts();
    typeQuit();
    ASSERT_TRUE(sessionEnded(mark));
    ASSERT_TRUE(openedByTap()) << "the application still listens";
    EXPECT_TRUE(endedByEscape());
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// Rows are found on the screen, whatever the fonts: the highlight of the selected row is what
// changes when the selection moves down by one.
TEST_F(AppEndToEndTest, TheConfigurationWindowMovesAndAltCopiesActionsByDragging) {
    home_->writeConfiguration(R"({
  "hotKeys": [{"singleModifier": {"info": {"singleTapModifier": "⌘"}}}],
  "decision": {"actions": [
    {"notification": {"title": "a"}}, {"notification": {"title": "b"}}, {"notification": {"title": "c"}}
  ], "chances": []}
})");
    ASSERT_TRUE(start());
    const auto window = focusConfigurationWindow();
    ASSERT_TRUE(window);
    constexpr int keyUp = 126;
    const int x = window->x + window->width / 2;
    const int blankY = window->y + window->height / 2;
    const auto column = [&] { return seat_->pixelColumn(x, window->y, window->y + window->height); };
    // The column once it has changed from `before` and stays as it is.
    const auto changedFrom = [&](const std::vector<std::uint32_t>& before) {
        std::vector<std::uint32_t> now, last;
        int steady = 0;
        seat_->waitUntil([&] {
            now = column();
            steady = (now != before && now == last) ? steady + 1 : 0;
            last = now;
            return steady >= 3;
        });
        return now;
    };
    const auto titles = [&] {
        std::vector<std::string> result;
        const auto stored = nlohmann::json::parse(fileText(home_->configurationFile()), nullptr, false);
        if (!stored.is_object()) return result;
        for (const auto& action : stored["decision"]["actions"]) result.push_back(action["notification"]["title"]);
        return result;
    };

    // A click on blank space gives the tree the keyboard; Down selects the first row, Down again
    // the second, Up the first once more.
    seat_->movePointer(x, blankY);
    seat_->click();
    const auto unselected = changedFrom({});
    seat_->tap(xKey(keyDown));
    const auto first = changedFrom(unselected);
    seat_->tap(xKey(keyDown));
    const auto second = changedFrom(first);
    seat_->tap(xKey(keyUp));
    changedFrom(second);
    int top = -1, bottom = -1;
    for (std::size_t y = 0; y < first.size(); ++y) {
        if (first[y] == second[y]) continue;
        if (top < 0) top = static_cast<int>(y);
        bottom = static_cast<int>(y);
    }
    ASSERT_GE(top, 0) << "no highlight moved";
    const int rowHeight = (bottom - top + 1) / 2;
    ASSERT_GT(rowHeight, 12) << "rows too low for the drop zones";
    const auto rowY = [&](int row, int offset) { return window->y + top + row * rowHeight + offset; };

    const auto drag = [&](int fromRow, int toY, bool alt) {
        seat_->movePointer(x, rowY(fromRow, rowHeight / 2));
        seat_->sync();
        seat_->pressButton();
        const int fromY = rowY(fromRow, rowHeight / 2);
        constexpr int steps = 12;
        for (int step = 1; step <= steps; ++step) {
            seat_->movePointer(x + step, fromY + (toY - fromY) * step / steps);
            seat_->sync();
            if (alt && step == steps / 2) seat_->press(xAltKey());
            std::this_thread::sleep_for(30ms); // a hand's pace: the drag takes the pointer over
        }
        seat_->movePointer(x + steps, toY);
        seat_->sync();
        std::this_thread::sleep_for(100ms);
        // For a look at the indicator by eye: TAVLIN_DRAG_SCREENSHOT=/tmp/drag.ppm.
        if (const char* shot = std::getenv("TAVLIN_DRAG_SCREENSHOT"); shot && !alt) seat_->saveScreenshot(shot);
        seat_->releaseButton();
        if (alt) seat_->release(xAltKey());
        seat_->sync();
    };

    // a, selected, dragged into the lower half of c: below it.
    drag(0, rowY(2, rowHeight - 3), false);
    const std::vector<std::string> moved{"b", "c", "a"};
    ASSERT_TRUE(pollUntil([&] { return titles() == moved; })) << testing::PrintToString(titles()) << app_->outputTail();
    // c dragged to the top of b with Alt held on the way: a copy above b.
    drag(1, rowY(0, 3), true);
    ASSERT_TRUE(pollUntil([&] { return titles().size() == 4; })) << app_->outputTail();
    EXPECT_EQ(titles(), (std::vector<std::string>{"c", "b", "c", "a"}));
    // The selection went with a: deleting it from the context menu removes a.
    seat_->movePointer(x, blankY);
    deleteByContextMenu();
    EXPECT_TRUE(pollUntil([&] { return titles().size() == 3; })) << app_->outputTail();
    EXPECT_EQ(titles(), (std::vector<std::string>{"c", "b", "c"}));
    EXPECT_TRUE(app_->stop());
}

} // namespace
} // namespace tavlin::e2e

namespace tavlin::e2e {
namespace {

class FlatEditorEndToEndTest : public AppEndToEndTest {
protected:
    static FlatKeysAndActionRow row(int key, const std::string& url, std::optional<std::string> description = std::nullopt) {
        return FlatKeysAndActionRow(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), {key},
                                    Action(Action::Kind::openURL{url, std::nullopt}, std::move(description)), false,
                                    LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
    }
    // A generated configuration first asks which application is in front and which leader key
    // began the session; trigger keys count only once the application has the leader key's
    // text, which it prints.
    std::size_t leaderKeysReported() const {
        const std::string output = app_->standardOutput();
        std::size_t count = 0;
        for (auto at = output.find("\"(55)\" received"); at != std::string::npos; at = output.find("\"(55)\" received", at + 1))
            ++count;
        return count;
    }
    ::testing::AssertionResult openSessionForTriggerKeys() {
        const std::size_t reported = leaderKeysReported();
        if (!openedByTap()) return ::testing::AssertionFailure() << "no session";
        if (!pollUntil([&] { return leaderKeysReported() > reported; }, 20s))
            return ::testing::AssertionFailure() << "the leader key was never reported\n" << app_->outputTail();
        return ::testing::AssertionSuccess();
    }
    // Keys typed before the row sheet has the focus would go to the list.
    bool sheetFocused() {
        return seat_->waitUntil(
            [&] {
                const auto sheet = seat_->shownDialog(app_->pid());
                return sheet && seat_->focusIsIn(sheet->window);
            },
            20s);
    }
    // With the sheet's key picker focused: Space opens its list, `walk` types into it, Return
    // picks. The list is a popup that holds the keyboard while it is open: the keys wait for its
    // grab, and the next ones for its release, which the sheet's window sees.
    ::testing::AssertionResult pickInTriggerKeyList(const std::function<void()>& walk) {
        seat_->watchWindowsOf(app_->pid());
        const auto mark = seat_->counts();
        seat_->tap(xKey(keycodes::space));
        if (!seat_->waitForGrabs(mark, 1, 20s)) return ::testing::AssertionFailure() << "the key list did not open";
        walk();
        seat_->tap(xKey(keycodes::returnKey));
        if (!seat_->waitForReleases(mark, 1, 20s)) return ::testing::AssertionFailure() << "the key list did not close";
        return ::testing::AssertionSuccess();
    }
    // The arrows walk the list to the key.
    void pickTriggerKey(int keyCode) {
        const auto& offered = sortedAvailableKeyCodes();
        const auto at = std::find(offered.begin(), offered.end(), keyCode);
        ASSERT_NE(at, offered.end());
        ASSERT_TRUE(pickInTriggerKeyList([&] {
            for (auto steps = at - offered.begin() + 1; steps > 0; --steps) seat_->tap(xKey(keyDown));
        }));
    }
    std::optional<std::vector<FlatKeysAndActionRow>> storedRows() const {
        const auto text = home_->stringSetting(settings::keys::flatKeysAndActionRows);
        if (!text) return std::nullopt;
        return flatRowsFromRawValue(*text);
    }
};

TEST_F(FlatEditorEndToEndTest, BackspaceInTheListDeletesTheRowAndItsKeysStopWorking) {
    constexpr int keyC = 8;
    const auto first = row(keyA, "https://example.org/first");
    // Its description names a file that never ends; showing it must not read it.
    const auto second = row(keyB, "https://example.org/second", std::string("<p><img src=\"/dev/zero\"> second</p>"));
    const auto third = row(keyC, "https://example.org/third");
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({third, first, second}));

    ASSERT_TRUE(launchWithWindowFocused());
    // The list shows A, B, C under one header, which the keys pass over. End first, so that
    // Home moves (and so selects) whatever row the list starts on.
    seat_->tap(xKey(119)); // End
    seat_->tap(xKey(115)); // Home
    seat_->tap(xKey(51));  // Backspace
    ASSERT_TRUE(pollUntil([&] { return storedRows() && storedRows()->size() == 2; }, 20s)) << app_->outputTail();
    EXPECT_EQ(storedRows()->front().id, third.id);
    ASSERT_TRUE(waitForConfiguration("example.org\\/first", false));
    EXPECT_NE(fileText(home_->configurationFile()).find("example.org\\/second"), std::string::npos);

    ASSERT_TRUE(takeFocusBack());
    const auto mark = seat_->counts();
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyA));
    // A has no binding left; whatever the session does with it, it opens nothing. Anything it
    // did open would also show in the exact list checked at the end.
    if (seat_->waitForReleases(mark, 1, 500ms)) {
        EXPECT_FALSE(seat_->keyboardHeld());
    } else {
        ASSERT_TRUE(endedByEscape());
    }
    EXPECT_TRUE(home_->openedURLs().empty());

    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyB));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/second"});
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// A delete the settings file cannot take (its folder is now a file) is told in an alert that
// names the file and why; the list and the sessions keep the row, as the file does.
TEST_F(FlatEditorEndToEndTest, ADeleteThatCannotBeStoredIsToldAndTheRowStaysInForce) {
    home_->setSetting(settings::keys::flatKeysAndActionRows,
                      flatRowsRawValue({row(keyA, "https://example.org/first"), row(keyB, "https://example.org/second")}));
    const auto folder = home_->root() / "config" / "local.tavlin";
    // A screen reader's view tells what the alert and the list read.
    ASSERT_EQ(setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1), 0);
    AppProcess accessibilityBus("/usr/libexec/at-spi-bus-launcher", {}, *home_, bus_->address());
    ASSERT_TRUE(launchWithWindowFocused());
    std::filesystem::rename(folder, folder.string() + ".kept");
    std::ofstream(folder) << "in the way\n";

    seat_->tap(xKey(119)); // End
    seat_->tap(xKey(115)); // Home: the first row
    seat_->tap(xKey(51));  // Backspace
    std::optional<UserSeat::Dialog> alert;
    ASSERT_TRUE(seat_->waitUntil([&] { return (alert = seat_->shownDialog(app_->pid())).has_value(); }, 20s))
        << "no alert\n"
        << app_->outputTail();
    std::vector<std::string> names;
    const auto reads = [&](const std::string& text) {
        return std::any_of(names.begin(), names.end(),
                           [&](const std::string& name) { return name.find(text) != std::string::npos; });
    };
    ASSERT_TRUE(pollUntil(
        [&] {
            names = accessibleNames(bus_->address(), app_->pid());
            return reads("Failed to save settings") && reads("local.tavlin.app.json");
        },
        20s))
        << testing::PrintToString(names);
    EXPECT_TRUE(reads("example.org/first")) << testing::PrintToString(names);
    // The reason's line is printed as it always was.
    EXPECT_EQ(app_->outputCount("The folder “local.tavlin” couldn’t be created. Not a directory.\n"), 1u) << app_->outputTail();

    ASSERT_TRUE(seat_->focusOn(alert->window));
    seat_->tap(xKey(keycodes::escape));
    ASSERT_TRUE(seat_->waitUntil([&] { return !seat_->shownDialog(app_->pid()); }, 20s));
    ASSERT_TRUE(seat_->takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyA));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/first"});
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

} // namespace
} // namespace tavlin::e2e

namespace tavlin::e2e {
namespace {

// The row compose sheet typed through: a row made with the keyboard alone, its keys live once
// saved; a focused leader-key recorder keeps every leader key off until it lets go.
TEST_F(FlatEditorEndToEndTest, ARowComposedByKeyboardRunsAndTheLeaderKeyRecorderHoldsLeaderKeysOff) {
    constexpr int keyC = 8, keyN = 45, keyS = 1, tab = 48, home = 115;
    // Ctrl+Alt+T leads to C; Complex Mode is the remembered choice, so the sheet shows the recorder.
    auto combo = row(keyC, "https://example.org/combo");
    combo.leaderKey = LeaderKey::press(HotKey::combo(keyT, 0x1000 | 0x800));
    std::optional<std::string> failure;
    home_->withStores([&] {
        failure = settings::setFlatKeysAndActionRows({combo});
        if (!failure) failure = settings::appGroupStore()->set(settings::keys::previousCheckedComplexMode, true);
    });
    ASSERT_FALSE(failure) << *failure;
    ASSERT_TRUE(launchWithWindowFocused());
    const auto sheetShown = [&](bool shown) {
        return seat_->waitUntil([&] { return seat_->shownDialog(app_->pid()).has_value() == shown; }, 20s);
    };

    // Ctrl+N; the key picker has the focus.
    seat_->chord({xControlKey(), xKey(keyN)});
    ASSERT_TRUE(sheetFocused()) << app_->outputTail();
    pickTriggerKey(keyA);
    pickTriggerKey(keyB);
    // Past "Delete All Keys" to the kind; Down steps from "Open App" to "Open File Manager".
    seat_->tap(xKey(tab));
    seat_->tap(xKey(tab));
    seat_->tap(xKey(keyDown));
    // Held as people hold it: the save registers the leader keys again while Control is down.
    seat_->press(xControlKey());
    seat_->press(xKey(keyS));
    std::this_thread::sleep_for(300ms);
    seat_->release(xKey(keyS));
    seat_->release(xControlKey());
    ASSERT_TRUE(sheetShown(false)) << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return storedRows() && storedRows()->size() == 2; }, 20s)) << app_->outputTail();
    const auto composed = storedRows()->back();
    EXPECT_EQ(composed.keys, (std::vector<std::int64_t>{keyA, keyB}));
    EXPECT_TRUE(std::holds_alternative<Action::Kind::openFinder>(composed.action.kind.value()));
    ASSERT_TRUE(waitForConfiguration("openFinder"));

    // Super, A, B: the file manager opens on the home folder.
    ASSERT_TRUE(takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyA));
    seat_->tap(xKey(keyB));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs().front().rfind("file://", 0), 0u) << home_->openedURLs().front();

    // The combination's row, first in the list, in its sheet; three steps back from the picker,
    // past the key C and the recorder's clear button, is the recorder. While it records, no
    // leader key is held.
    ASSERT_TRUE(focusConfigurationWindow());
    seat_->tap(xKey(home));
    seat_->tap(xKey(keycodes::returnKey));
    ASSERT_TRUE(sheetFocused()) << app_->outputTail();
    std::this_thread::sleep_for(focusHandOver); // the recorder takes focus from its second turn
    // The leader keys' switches show in the output: the handler removed, and installed again.
    // (Probing the combination's grab from here would race with its registration.)
    const std::string removed = "]] removeKeyEventHanlder()", installed = "key press event handler install result";
    const auto removals = app_->outputCount(removed), installs = app_->outputCount(installed);
    for (int step = 0; step < 3; ++step) seat_->chord({xKey(keycodes::shift), xKey(tab)});
    ASSERT_TRUE(pollUntil([&] { return app_->outputCount(removed) > removals; }, 20s)) << "the leader keys stayed on\n"
                                                                                       << app_->outputTail();
    EXPECT_EQ(app_->outputCount(installed), installs);
    tapSuper();
    EXPECT_FALSE(seat_->waitUntil([&] { return seat_->shownInputWindow(app_->pid()).has_value(); }, 300ms));

    // Another window taking the focus ends the recording: the leader keys are back. The sheet
    // coming back does not start it again, and Super opens a session.
    ASSERT_TRUE(seat_->takeFocusFrom(app_->pid()));
    ASSERT_TRUE(pollUntil([&] { return app_->outputCount(installed) > installs; }, 20s)) << "the leader keys stayed off\n"
                                                                                         << app_->outputTail();
    ASSERT_TRUE(seat_->giveFocusTo(app_->pid(), "Key Binding"));
    std::this_thread::sleep_for(focusHandOver);
    // Shift+Tab, let go while the leader keys were off, does not give up the first tap.
    tapSuper();
    EXPECT_TRUE(seat_->waitUntil([&] { return seat_->shownInputWindow(app_->pid()).has_value(); }, 20s)) << app_->outputTail();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// The key picker names keys as the keyboard does: "Backspace", found by typing its name, is
// the key BackSpace fires.
TEST_F(FlatEditorEndToEndTest, ATriggerKeyPickedAsBackspaceFiresOnBackSpace) {
    constexpr int keyN = 45, keyS = 1, tab = 48, backspace = 51;
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({row(keyA, "https://example.org/a")}));
    ASSERT_TRUE(launchWithWindowFocused());
    seat_->chord({xControlKey(), xKey(keyN)});
    ASSERT_TRUE(sheetFocused()) << app_->outputTail();
    ASSERT_TRUE(pickInTriggerKeyList([&] {
        seat_->tap(xKey(keyB));
        seat_->tap(xKey(keyA));
    })) << app_->outputTail();
    // Past "Delete All Keys" to the kind; Down steps from "Open App" to "Open File Manager".
    seat_->tap(xKey(tab));
    seat_->tap(xKey(tab));
    seat_->tap(xKey(keyDown));
    seat_->chord({xControlKey(), xKey(keyS)});
    ASSERT_TRUE(pollUntil([&] { return storedRows() && storedRows()->size() == 2; }, 20s)) << app_->outputTail();
    EXPECT_EQ(storedRows()->back().keys, (std::vector<std::int64_t>{backspace}));
    ASSERT_TRUE(waitForConfiguration("openFinder"));

    ASSERT_TRUE(takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(backspace));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs().front().rfind("file://", 0), 0u) << home_->openedURLs().front();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// Open App, the sheet's first kind, with its application picked in the chooser by keyboard:
// the filter narrows the list to our entry, Return chooses it, and the saved keys start it.
TEST_F(FlatEditorEndToEndTest, ARowComposedAsOpenAppWithAnEntryChosenInTheApplicationChooserLaunchesIt) {
    constexpr int keyC = 8, keyK = 40, keyN = 45, keyO = 31, keyQ = 12, keyS = 1, keyU = 32, tab = 48;
    const auto launched = home_->root() / "launched";
    home_->writeProgram("tavlin-e2e-app", "#!/bin/sh\ntouch '" + launched.string() + "'\n");
    // A name no installed entry shares: the filter leaves ours alone whatever else is there.
    const auto entry = home_->writeDesktopEntry("tavlin-e2e-app",
                                                "[Desktop Entry]\nType=Application\nName=Quokka\n"
                                                "Exec=tavlin-e2e-app\n");
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({row(keyC, "https://example.org/c")}));
    ASSERT_TRUE(launchWithWindowFocused());

    seat_->chord({xControlKey(), xKey(keyN)});
    ASSERT_TRUE(sheetFocused()) << app_->outputTail();
    pickTriggerKey(keyA);
    pickTriggerKey(keyB);
    // Past "Delete All Keys" and the kind, left on "Open App", to "Choose App".
    for (int step = 0; step < 3; ++step) seat_->tap(xKey(tab));
    seat_->tap(xKey(keycodes::space));
    // Found by its title; finding it gives it the focus, which it has already.
    ASSERT_TRUE(seat_->waitUntil([&] { return seat_->giveFocusTo(app_->pid(), "Choose Application").has_value(); }, 20s))
        << app_->outputTail();
    for (const int key : {keyQ, keyU, keyO, keyK, keyK, keyA}) seat_->tap(xKey(key));
    seat_->tap(xKey(keycodes::returnKey));
    // Once it has gone, the sheet gets the focus back, as a window manager would give it (Xvfb
    // runs none).
    ASSERT_TRUE(seat_->waitUntil([&] { return !seat_->giveFocusTo(app_->pid(), "Choose Application"); }, 20s));
    ASSERT_TRUE(seat_->giveFocusTo(app_->pid(), "Key Binding"));
    ASSERT_TRUE(sheetFocused()) << app_->outputTail();
    seat_->chord({xControlKey(), xKey(keyS)});
    ASSERT_TRUE(seat_->waitUntil([&] { return !seat_->shownDialog(app_->pid()); }, 20s)) << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return storedRows() && storedRows()->size() == 2; }, 20s)) << app_->outputTail();
    const auto composed = storedRows()->back();
    EXPECT_EQ(composed.keys, (std::vector<std::int64_t>{keyA, keyB}));
    const auto* openApp = std::get_if<Action::Kind::openApp>(&composed.action.kind.value());
    ASSERT_TRUE(openApp);
    EXPECT_EQ(openApp->path, entry.string());
    ASSERT_TRUE(waitForConfiguration("openApp"));

    ASSERT_TRUE(takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyA));
    seat_->tap(xKey(keyB));
    EXPECT_TRUE(pollUntil([&] { return std::filesystem::exists(launched); }, 20s)) << app_->outputTail();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

} // namespace
} // namespace tavlin::e2e

namespace tavlin::e2e {
namespace {

// A screen reader reads the desktop's key names in the list's badges, while the rows stay stored
// byte for byte as written, with the stored symbols, and keep working.
TEST_F(FlatEditorEndToEndTest, BadgesReadSuperAndTheStoredRowsStayAsWrittenAndWork) {
    constexpr int keyS = 1;
    auto combo = row(keyA, "https://example.org/combo");
    combo.leaderKey = LeaderKey::press(HotKey::combo(keyS, carbon::command));
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({row(keyS, "https://example.org/tap"), combo}));
    const auto settingsFile = home_->root() / "config" / "local.tavlin" / "local.tavlin.app.json";
    const std::string stored = fileText(settingsFile);
    ASSERT_NE(stored.find("\"singleTapModifier\\\":\\\"⌘\\\""), std::string::npos) << stored;

    // The accessibility bus of the session, and a program that always serves it.
    ASSERT_EQ(setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1), 0);
    AppProcess accessibilityBus("/usr/libexec/at-spi-bus-launcher", {}, *home_, bus_->address());
    ASSERT_TRUE(launchWithWindowFocused());
    std::vector<std::string> names;
    const auto reads = [&](const std::string& badge) {
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return name.starts_with(badge + " "); });
    };
    ASSERT_TRUE(pollUntil(
        [&] {
            names = accessibleNames(bus_->address(), app_->pid());
            return reads("Super+S A");
        },
        20s))
        << testing::PrintToString(names);
    EXPECT_TRUE(reads("Super S")) << testing::PrintToString(names);
    for (const auto& name : names) EXPECT_EQ(name.find("⌘"), std::string::npos) << name;

    ASSERT_TRUE(takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyS));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/tap"});
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
    EXPECT_EQ(fileText(settingsFile), stored);
    EXPECT_NE(fileText(home_->configurationFile()).find("\"singleTapModifier\" : \"⌘\""), std::string::npos);
}

} // namespace
} // namespace tavlin::e2e

namespace tavlin::e2e {
namespace {

// A description of megabytes stays stored whole, while the list, its reader and the hint lay out
// only its start: the start gets ready, the hint shows, and the row's keys run its binding.
TEST_F(FlatEditorEndToEndTest, AMultiMegabyteDescriptionIsLaidOutOnlyInPartAndTheRowStillRuns) {
    std::string description = "Long";
    for (int i = 0; i < (4 << 20); ++i) description += "é"; // 8 MB; a cut inside a letter would read as U+FFFD
    const FlatKeysAndActionRow described(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), {keyA, keyB},
                                         Action(Action::Kind::openURL{"https://example.org/long", std::nullopt}, description),
                                         false, LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({described}));

    ASSERT_EQ(setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1), 0);
    AppProcess accessibilityBus("/usr/libexec/at-spi-bus-launcher", {}, *home_, bus_->address());
    ASSERT_TRUE(launchWithWindowFocused());
    std::vector<std::string> names;
    const auto reads = [&](const std::string& start) {
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return name.starts_with(start); });
    };
    // What is read out is what is laid out: the start of the text, whole letters only.
    const auto bounded = [&] {
        for (const auto& name : names) {
            if (name.size() > laidOutTextLimit + 64 || name.find("\xEF\xBF\xBD") != std::string::npos)
                return ::testing::AssertionFailure() << name.size() << " bytes read out: " << name.substr(0, 64);
        }
        return ::testing::AssertionSuccess();
    };
    ASSERT_TRUE(pollUntil(
        [&] {
            names = accessibleNames(bus_->address(), app_->pid());
            return reads("Super A B Longéé");
        },
        20s));
    EXPECT_TRUE(bounded());

    ASSERT_TRUE(takeFocusBack());
    ASSERT_TRUE(openSessionForTriggerKeys());
    seat_->tap(xKey(keyA));
    ASSERT_TRUE(pollUntil(
        [&] {
            names = accessibleNames(bus_->address(), app_->pid());
            return reads("B:") && reads("Longéé");
        },
        20s))
        << "no hint\n"
        << app_->outputTail();
    EXPECT_TRUE(bounded());
    seat_->tap(xKey(keyB));
    ASSERT_TRUE(waitForOpenedURLs(1)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/long"});
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
    const auto stored = storedRows();
    ASSERT_TRUE(stored && stored->size() == 1);
    EXPECT_TRUE(stored->front().action.actionDescription == description); // not EXPECT_EQ: it would print megabytes
}

} // namespace
} // namespace tavlin::e2e
