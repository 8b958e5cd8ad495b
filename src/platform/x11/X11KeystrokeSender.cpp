#include "platform/x11/X11KeystrokeSender.h"

#include <array>
#include <thread>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/keys/VirtualKeyCodes.h"
#include "platform/x11/X11Connection.h"

namespace tavlin {
namespace {

bool isDown(const char (&keys)[32], unsigned int keycode) { return (keys[keycode / 8] >> (keycode % 8)) & 1; }

// The keys XTest pressed, released in reverse order however the keystroke ends.
class PressedKeys {
public:
    explicit PressedKeys(Display* display) : display_(display) {}
    ~PressedKeys() { releaseAll(); }
    PressedKeys(const PressedKeys&) = delete;
    PressedKeys& operator=(const PressedKeys&) = delete;

    void press(KeyCode keycode) {
        for (std::size_t i = 0; i < count_; ++i) {
            if (keys_[i] == keycode) return;
        }
        if (count_ == keys_.size()) return;
        keys_[count_++] = keycode;
        XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
    }
    void releaseAll() {
        while (count_ > 0) XTestFakeKeyEvent(display_, keys_[--count_], False, CurrentTime);
        XFlush(display_);
    }

private:
    Display* display_;
    std::array<KeyCode, 8> keys_{};
    std::size_t count_ = 0;
};

} // namespace

std::unique_ptr<X11KeystrokeSender> X11KeystrokeSender::open(const char* displayName) {
    auto display = x11::openDisplay(displayName);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display.get(), &eventBase, &errorBase, &major, &minor)) return nullptr;
    Display* d = display.get();
    return std::unique_ptr<X11KeystrokeSender>(new X11KeystrokeSender(std::move(display), d));
}

std::unique_ptr<X11KeystrokeSender> X11KeystrokeSender::onSharedConnection(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) return nullptr;
    return std::unique_ptr<X11KeystrokeSender>(new X11KeystrokeSender(nullptr, display));
}

X11KeystrokeSender::X11KeystrokeSender(x11::DisplayPtr owned, Display* display)
    : ownDisplay_(std::move(owned)), display_(display) {}

unsigned int X11KeystrokeSender::modifierKeycode(unsigned long keysym, unsigned int modifierMask) {
    Display* d = display_;
    XModifierKeymap* map = XGetModifierMapping(d);
    if (!map) return 0;
    int modifier = 0;
    while (modifier < 8 && !(modifierMask & (1u << modifier))) ++modifier;
    // The key with the modifier's own symbol, else any key the modifier map gives that bit.
    KeyCode chosen = 0;
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(d, &minKeycode, &maxKeycode);
    KeySym* keysyms = XGetKeyboardMapping(d, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    for (int i = 0; modifier < 8 && i < map->max_keypermod; ++i) {
        const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + i];
        if (keycode == 0) continue;
        if (chosen == 0) chosen = keycode;
        if (keysyms && keycode >= minKeycode && keycode <= maxKeycode &&
            keysyms[static_cast<std::ptrdiff_t>(keycode - minKeycode) * perKeycode] == keysym) {
            chosen = keycode;
            break;
        }
    }
    if (keysyms) XFree(keysyms);
    XFreeModifiermap(map);
    return chosen;
}

bool X11KeystrokeSender::waitForModifierRelease(std::chrono::milliseconds limit) {
    Display* d = display_;
    XModifierKeymap* map = XGetModifierMapping(d);
    if (!map) return false;
    // Locks are not held down; only keys that change what a key types while held count.
    const unsigned int ignored = LockMask | x11::numLockMask(d);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool released = false;
    while (true) {
        char keys[32] = {};
        XQueryKeymap(d, keys);
        released = true;
        for (int modifier = 0; modifier < 8 && released; ++modifier) {
            if (ignored & (1u << modifier)) continue;
            for (int i = 0; i < map->max_keypermod; ++i) {
                const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + i];
                if (keycode != 0 && isDown(keys, keycode)) {
                    released = false;
                    break;
                }
            }
        }
        if (released || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    XFreeModifiermap(map);
    return released;
}

bool X11KeystrokeSender::typeKey(int virtualKeyCode, std::uint32_t carbonModifiers,
                                 std::chrono::milliseconds modifierReleaseWait) {
    Display* d = display_;
    const auto keycode = keycodes::xKeycode(virtualKeyCode);
    const auto modifiers = x11::xModifiersOfCarbonMask(carbonModifiers);
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(d, &minKeycode, &maxKeycode);
    if (!keycode || !modifiers || static_cast<int>(*keycode) < minKeycode || static_cast<int>(*keycode) > maxKeycode) {
        return false;
    }
    const std::pair<unsigned int, unsigned long> modifierKeys[] = {{x11::controlMask, XK_Control_L},
                                                                   {x11::optionMask, XK_Alt_L},
                                                                   {x11::shiftMask, XK_Shift_L},
                                                                   {x11::commandMask, XK_Super_L}};
    std::array<KeyCode, 4> toPress{};
    std::size_t count = 0;
    for (const auto& [mask, keysym] : modifierKeys) {
        if (!(*modifiers & mask)) continue;
        const KeyCode modifierKey = static_cast<KeyCode>(modifierKeycode(keysym, mask));
        if (modifierKey == 0) return false; // no key gives this modifier
        toPress[count++] = modifierKey;
    }

    waitForModifierRelease(modifierReleaseWait);

    x11::ErrorTrap trap(d);
    {
        PressedKeys pressed(d);
        for (std::size_t i = 0; i < count; ++i) pressed.press(toPress[i]);
        pressed.press(static_cast<KeyCode>(*keycode));
    }
    return trap.sync() == Success;
}

} // namespace tavlin
