#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/x11/X11Display.h"

namespace tavlin {

// Types keystrokes as if on the keyboard, through XTest.
class X11KeystrokeSender {
public:
    // Null when the display cannot be reached or has no XTest.
    static std::unique_ptr<X11KeystrokeSender> open(const char* displayName = nullptr);
    // On a connection another piece owns, which must outlive it (it sends requests only).
    static std::unique_ptr<X11KeystrokeSender> onSharedConnection(_XDisplay* display);

    // Presses the modifiers of the Carbon mask, types the key, and releases the modifiers.
    // First waits, up to `modifierReleaseWait`, for the user to let go of held modifier keys,
    // which would otherwise join the keystroke; after that it types anyway. Every key it
    // presses is released again, also when the server refuses a request. False when the key
    // code has no key, the mask has bits other than the four modifiers, or the server refused.
    bool typeKey(int virtualKeyCode, std::uint32_t carbonModifiers,
                 std::chrono::milliseconds modifierReleaseWait = std::chrono::milliseconds(500));

private:
    X11KeystrokeSender(x11::DisplayPtr owned, _XDisplay* display);
    bool waitForModifierRelease(std::chrono::milliseconds limit);
    unsigned int modifierKeycode(unsigned long keysym, unsigned int modifierMask);

    x11::DisplayPtr ownDisplay_;
    _XDisplay* display_;
};

} // namespace tavlin
