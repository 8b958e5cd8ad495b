#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// GoogleTest before Xlib: Xlib's macros (None, Bool...) break its headers. Test files include
// this header first for the same reason.
#include <gtest/gtest.h>

#include "platform/x11/X11Connection.h"

namespace tavlin::testing {

// X key codes of the keys the tests press, from the fixed table.
unsigned int xKey(int virtualKeyCode);
inline constexpr unsigned int xSuperL = 133, xSuperR = 134, xShiftL = 50, xShiftR = 62, xAltL = 64, xControlL = 37,
                              xCapsLock = 66, xNumLock = 77;

// A test against the X server of $DISPLAY; skipped when there is none, failed when the run
// requires one (support/RequiredEnvironment.h). Presses keys through XTest on a connection of its
// own, and puts keys, buttons, locks, layout group and modifier map back as they were when it ends.
class XServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Display* display() const { return display_.get(); }
    void press(unsigned int xKeycode);
    void release(unsigned int xKeycode);
    // Presses the keys in order and releases them in reverse order.
    void chord(std::initializer_list<unsigned int> xKeycodes);
    void click(unsigned int button, bool down);
    void lockModifiers(unsigned int mask, bool locked);

    // Calls `pump` until `done` answers true or the time is up; answers `done()`.
    static bool pumpUntil(const std::function<void()>& pump, const std::function<bool()>& done,
                          std::chrono::milliseconds limit = std::chrono::seconds(3));
    // Calls `pump` for a while, for events that must arrive before the next step.
    static void settle(const std::function<void()>& pump, std::chrono::milliseconds time = std::chrono::milliseconds(60));

    // Whether any key is down on the server.
    bool anyKeyDown();
    // Runs setxkbmap with these arguments; the keymap's rule names are put back at the end.
    void setKeymap(std::vector<std::string> arguments);

private:
    x11::DisplayPtr display_;
    unsigned int lockedModifiers_ = 0;
    unsigned int group_ = 0;
    XModifierKeymap* modifierMap_ = nullptr;
    std::vector<std::string> ruleNames_; // before the first setKeymap
};

// Runs a program (no shell), answers whether it exited with 0.
bool run(std::vector<std::string> argv);

} // namespace tavlin::testing
