// The real `tavlin` under a window manager, on an X server of its own.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/ManagedDisplay.h"
#include "e2e/XDriver.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

class WindowManagerTest : public DesktopTest {};

// Super alone and control+option+K lead in; A opens a page.
constexpr const char* leaderKeyConfiguration = R"({
  "hotKeys": [
    {"singleModifier": {"info": {"singleTapModifier": "⌘"}}},
    {"combo": {"info": {"keyCode": 40, "modifiersCode": 6144}}}
  ],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [0]}},
     "decision": {"actions": [{"openURL": {"url": "https://example.org/leader-key-worked"}}], "chances": []}}
  ]}
})";

// Another program's window, started on the display of the children, with a desktop entry of
// its own in the home.
struct OtherProgram {
    OtherProgram(const AppHome& home, const std::string& busAddress, const std::string& wmClass)
        : entry(home.writeDesktopEntry("tavlin-e2e-" + wmClass, "[Desktop Entry]\nType=Application\nName=" + wmClass +
                                                                    "\nExec=" KEY_WINDOW_EXECUTABLE " " + wmClass +
                                                                    "\nStartupWMClass=" + wmClass + "\n")),
          process(KEY_WINDOW_EXECUTABLE, {wmClass}, home, busAddress) {}

    std::optional<unsigned long> window() const {
        std::optional<unsigned long> id;
        pollUntil([&] {
            const std::string output = process.standardOutput();
            const auto at = output.find("window ");
            if (at == std::string::npos || output.find('\n', at) == std::string::npos) return false;
            id = std::stoul(output.substr(at + 7));
            return true;
        });
        return id;
    }
    std::size_t count(const std::string& line) const { return process.outputCount(line + "\n"); }
    std::size_t keys(unsigned int xKeycode) const { return count("key " + std::to_string(xKeycode)); }

    std::filesystem::path entry;
    AppProcess process;
};

// The configuration window lies under another program's window: a second start brings it forward.
TEST_F(WindowManagerTest, ASecondStartBringsTheBuriedConfigurationWindowForward) {
    const auto display = ManagedDisplay::start(*home_);
    ASSERT_TRUE(display) << "cannot start Xvfb with openbox";
    home_->writeConfiguration(R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})");
    const DisplayForChildren children(display->name());
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return display->activeProcess() == app_->pid(); }, 10s)) << "the window was never active";
    ASSERT_TRUE(display->coverWithWindow());

    AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, bus_->address());
    EXPECT_EQ(second.waitForExit(10s), std::optional<int>(0)) << second.outputTail();
    EXPECT_TRUE(pollUntil([&] { return display->activeProcess() == app_->pid() && display->activeWindowIsOnTop(); }, 10s))
        << "the configuration window stayed under the other window\n"
        << app_->outputTail();
}

// At 1.25 scaling a screen 424 pixels tall leaves room for Settings at its smallest (400) and its
// title bar, not for the content's own height as well: it opens with its frame on the screen.
TEST_F(WindowManagerTest, SettingsOpensWhollyOnAScaledScreen) {
    const auto display = ManagedDisplay::start(*home_, "1280x530");
    ASSERT_TRUE(display) << "cannot start Xvfb with openbox";
    home_->writeConfiguration(R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})");
    const DisplayForChildren children(display->name());
    ::setenv("QT_SCALE_FACTOR", "1.25", 1);
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ::unsetenv("QT_SCALE_FACTOR");
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return display->activeProcess() == app_->pid(); }, 10s)) << "the window was never active";
    constexpr int keyComma = 43;
    display->press(xControlKey());
    display->press(xKey(keyComma));
    display->release(xKey(keyComma));
    display->release(xControlKey());
    ASSERT_TRUE(pollUntil([&] { return display->activeWindowName() == "tavlin Settings"; }, 10s)) << app_->outputTail();
    EXPECT_TRUE(pollUntil([&] { return display->activeWindowFitsTheScreen(); }, 5s));
}

// In a program on the disabled list the leader keys are that program's keys; in any other they
// open a session.
TEST_F(WindowManagerTest, LeaderKeysReachAListedProgramAndWorkInAnother) {
    const auto display = ManagedDisplay::start(*home_);
    ASSERT_TRUE(display) << "cannot start Xvfb with openbox";
    const DisplayForChildren children(display->name());
    OtherProgram listed(*home_, bus_->address(), "TavlinListed"), other(*home_, bus_->address(), "TavlinOther");
    const auto listedWindow = listed.window(), otherWindow = other.window();
    ASSERT_TRUE(listedWindow && otherWindow) << listed.process.outputTail() << other.process.outputTail();
    home_->writeConfiguration(leaderKeyConfiguration);
    home_->setSetting(settings::keys::disabledApplications, nlohmann::json::array({listed.entry.string()}).dump());
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();

    const unsigned int keyK = xKey(40), keyA = xKey(0), modifiers = UserSeat::controlMask() | UserSeat::altMask();
    // Whichever program the window manager put in front first, the other one holds the key.
    ASSERT_TRUE(display->activate(*otherWindow));
    ASSERT_TRUE(pollUntil([&] { return !display->keyIsFree(keyK, modifiers); }, 10s)) << app_->outputTail();
    ASSERT_TRUE(display->activate(*listedWindow));
    ASSERT_TRUE(pollUntil([&] { return display->keyIsFree(keyK, modifiers) && listed.count("focused") > 0; }, 10s))
        << "the leader key stayed taken\n"
        << app_->outputTail();
    for (const unsigned int key : {xControlKey(), xAltKey(), keyK}) display->press(key);
    for (const unsigned int key : {keyK, xAltKey(), xControlKey()}) display->release(key);
    display->press(xSuperKey());
    display->release(xSuperKey());
    // A session would take the keyboard within the 10 ms after the tap.
    EXPECT_FALSE(pollUntil([&] { return listed.count("keyboard taken") > 0; }, 300ms)) << "a session opened";
    display->press(keyA);
    display->release(keyA);
    ASSERT_TRUE(pollUntil([&] { return listed.keys(keyA) == 1; }, 10s)) << listed.process.outputTail();
    EXPECT_EQ(listed.keys(keyK), 1u);
    EXPECT_EQ(listed.keys(xSuperKey()), 1u);
    EXPECT_EQ(listed.count("keyboard taken"), 0u);

    // The other program: the leader key is taken back and opens a session, in which A runs.
    ASSERT_TRUE(display->activate(*otherWindow));
    ASSERT_TRUE(pollUntil([&] { return !display->keyIsFree(keyK, modifiers) && other.count("focused") > 0; }, 10s))
        << "the leader key was not taken back\n"
        << app_->outputTail();
    for (const unsigned int key : {xControlKey(), xAltKey(), keyK}) display->press(key);
    ASSERT_TRUE(pollUntil([&] { return other.count("keyboard taken") == 1; }, 10s)) << "the hot key's grab never came";
    for (const unsigned int key : {keyK, xAltKey(), xControlKey()}) display->release(key);
    ASSERT_TRUE(pollUntil([&] { return other.count("keyboard taken") == 2; }, 10s)) << "no session\n" << app_->outputTail();
    display->press(keyA);
    display->release(keyA);
    ASSERT_TRUE(pollUntil([&] { return !home_->openedURLs().empty(); }, 10s)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/leader-key-worked"});
    EXPECT_EQ(other.keys(keyK) + other.keys(keyA), 0u);

    // Listed too, the program in front gets its keys at once.
    home_->setSetting(settings::keys::disabledApplications,
                      nlohmann::json::array({listed.entry.string(), other.entry.string()}).dump());
    EXPECT_TRUE(pollUntil([&] { return display->keyIsFree(keyK, modifiers); }, 10s)) << app_->outputTail();
}

// The flat list has the keyboard; a session (Super, then Escape) takes it for a while and gives
// it back: Space toggles the selected row before and after.
TEST_F(WindowManagerTest, AfterASessionTheFocusedListHasTheKeysAgain) {
    const auto display = ManagedDisplay::start(*home_);
    ASSERT_TRUE(display) << "cannot start Xvfb with openbox";
    const auto row = [](int key) {
        return FlatKeysAndActionRow(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), {key},
                                    Action(Action::Kind::openURL{"https://example.org/", std::nullopt}), false,
                                    LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
    };
    home_->setSetting(settings::keys::flatKeysAndActionRows, flatRowsRawValue({row(0), row(11)}));
    const auto firstEnabled = [&] {
        const auto text = home_->stringSetting(settings::keys::flatKeysAndActionRows);
        const auto rows = text ? flatRowsFromRawValue(*text) : std::nullopt;
        return rows && !rows->empty() ? std::optional<bool>(rows->front().enabled) : std::nullopt;
    };
    const DisplayForChildren children(display->name());
    const auto seat = UserSeat::open();
    ASSERT_TRUE(seat) << "cannot open the managed display with XTest";
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return display->activeProcess() == app_->pid(); }, 10s)) << "the window was never active";
    ASSERT_TRUE(seat->followFocusOf(app_->pid()));

    // End, then Home: the first row is selected, whichever row the list starts on.
    seat->tap(xKey(119));
    seat->tap(xKey(115));
    const std::string installed = "key press event handler install result";
    const auto installs = app_->outputCount(installed);
    seat->tap(xKey(keycodes::space));
    ASSERT_TRUE(pollUntil([&] { return firstEnabled() == false; }, 20s)) << "Space toggled nothing\n" << app_->outputTail();
    // The change registers the leader keys again; a tap before that would go unheard.
    ASSERT_TRUE(pollUntil([&] { return app_->outputCount(installed) > installs; }, 20s)) << app_->outputTail();

    const auto since = seat->counts();
    seat->tap(xSuperKey());
    ASSERT_TRUE(seat->waitForGrabs(since, 1)) << "no session\n" << app_->outputTail();
    seat->tap(xKey(keycodes::escape));
    ASSERT_TRUE(seat->waitForReleases(since, 1)) << "the session did not end\n" << app_->outputTail();
    ASSERT_TRUE(pollUntil([&] { return display->activeProcess() == app_->pid(); }, 10s));

    seat->tap(xKey(keycodes::space));
    EXPECT_TRUE(pollUntil([&] { return firstEnabled() == true; }, 10s)) << "the list lost the keys\n" << app_->outputTail();
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

} // namespace
} // namespace tavlin::e2e
