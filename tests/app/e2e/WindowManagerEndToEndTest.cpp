// The real `tavlin` under a window manager, on an X server of its own.

#include <gtest/gtest.h>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/ManagedDisplay.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"
#include "platform/VirtualKeyCodes.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

class WindowManagerTest : public DesktopTest {};

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
