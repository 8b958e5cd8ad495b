#pragma once

#include <cstdlib>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::e2e {

// A test of the real program on the X display and session bus of scripts/test.sh: a seat that
// types through XTest, a private bus, a throwaway home, and the program once a test starts it.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            TAVLIN_SKIP_WITHOUT_DESKTOP("needs an X display and a session bus (scripts/test.sh provides both)");
        seat_ = UserSeat::open();
        ASSERT_TRUE(seat_) << "cannot open $DISPLAY with XTest";
        bus_.emplace();
        home_.emplace();
    }
    void TearDown() override {
        // The program first: it must not outlive the test, whatever failed.
        app_.reset();
        home_.reset();
        bus_.reset();
        seat_.reset();
    }

    std::unique_ptr<UserSeat> seat_;
    std::optional<PrivateBus> bus_;
    std::optional<AppHome> home_;
    std::optional<AppProcess> app_;
};

} // namespace tavlin::e2e
