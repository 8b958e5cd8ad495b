// The real `tavlin` under a window manager, on an X server of its own.

#include <gtest/gtest.h>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/ManagedDisplay.h"

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

} // namespace
} // namespace tavlin::e2e
