#include "platform/x11/X11KeyboardEventMonitor.h"

#include <algorithm>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include "platform/keys/VirtualKeyCodes.h"
#include "platform/x11/X11Connection.h"

namespace tavlin {

std::unique_ptr<X11KeyboardEventMonitor> X11KeyboardEventMonitor::open(const char* displayName) {
    auto display = x11::openDisplay(displayName);
    if (!display) return nullptr;
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (!XQueryExtension(display.get(), "XInputExtension", &opcode, &eventBase, &errorBase)) return nullptr;
    // 2.1 is the first version whose raw events are sent also while another client holds a grab.
    int major = 2, minor = 2;
    if (XIQueryVersion(display.get(), &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        return nullptr;
    }
    return std::unique_ptr<X11KeyboardEventMonitor>(new X11KeyboardEventMonitor(std::move(display), opcode));
}

X11KeyboardEventMonitor::X11KeyboardEventMonitor(x11::DisplayPtr display, int xiOpcode)
    : display_(std::move(display)), xiOpcode_(xiOpcode) {
    Display* d = display_.get();
    xkbEventBase_ = x11::selectKeymapChanges(d);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    // The master devices only: each event once, whatever device it came from.
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(d, DefaultRootWindow(d), &mask, 1);
    readKeymap();
    readInitialState();
    XSync(d, False);
}

X11KeyboardEventMonitor::~X11KeyboardEventMonitor() = default;

void X11KeyboardEventMonitor::readKeymap() {
    Display* d = display_.get();
    roles_.fill({});
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(d, &minKeycode, &maxKeycode);
    KeySym* keysyms = XGetKeyboardMapping(d, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    if (!keysyms) return;
    for (int keycode = minKeycode; keycode <= maxKeycode && keycode < 256; ++keycode) {
        // The first symbol of the first group; some keymaps leave level one empty.
        KeySym keysym = NoSymbol;
        for (int level = 0; level < std::min(perKeycode, 2) && keysym == NoSymbol; ++level) {
            keysym = keysyms[(keycode - minKeycode) * perKeycode + level];
        }
        KeyRole& role = roles_[static_cast<std::size_t>(keycode)];
        switch (keysym) {
        case XK_Super_L: role = {Role::command, false}; break;
        case XK_Super_R: role = {Role::command, true}; break;
        case XK_Shift_L: role = {Role::shift, false}; break;
        case XK_Shift_R: role = {Role::shift, true}; break;
        case XK_Alt_L:
        case XK_Meta_L: role = {Role::option, false}; break;
        case XK_Alt_R:
        case XK_Meta_R: role = {Role::option, true}; break;
        case XK_Control_L: role = {Role::control, false}; break;
        case XK_Control_R: role = {Role::control, true}; break;
        case XK_Caps_Lock: role = {Role::capsLock, false}; break;
        default: break;
        }
    }
    XFree(keysyms);
}

void X11KeyboardEventMonitor::readInitialState() {
    Display* d = display_.get();
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (std::size_t keycode = 0; keycode < 256; ++keycode) {
        const bool isDown = (keys[keycode / 8] >> (keycode % 8)) & 1;
        const Role role = roles_[keycode].role;
        down_[keycode] = isDown && role != Role::other && role != Role::capsLock;
    }
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) == Success) capsLock_ = state.locked_mods & LockMask;
}

std::uint64_t X11KeyboardEventMonitor::modifierFlags() const {
    std::uint64_t flags = capsLock_ ? eventFlags::capsLock : 0;
    for (std::size_t keycode = 0; keycode < 256; ++keycode) {
        if (!down_[keycode]) continue;
        switch (roles_[keycode].role) {
        case Role::command: flags |= eventFlags::command; break;
        case Role::shift: flags |= eventFlags::shift; break;
        case Role::option: flags |= eventFlags::option; break;
        case Role::control: flags |= eventFlags::control; break;
        default: break;
        }
    }
    return flags;
}

double X11KeyboardEventMonitor::secondsOfServerTime(unsigned long time) {
    // Server time is 32-bit milliseconds and wraps after 49.7 days.
    if (time < lastServerTime_ && lastServerTime_ - time > 0x80000000ul) ++serverTimeWraps_;
    lastServerTime_ = time;
    return static_cast<double>((serverTimeWraps_ << 32) + time) / 1000.0;
}

void X11KeyboardEventMonitor::handleKey(unsigned int keycode, bool down, unsigned long time) {
    if (keycode >= 256) return;
    const double timestamp = secondsOfServerTime(time);
    const KeyRole role = roles_[keycode];
    int virtualKey = 0;
    switch (role.role) {
    case Role::other: {
        if (!down) return;
        const auto code = keycodes::virtualKeyCode(keycode);
        const std::uint64_t flags = modifierFlags();
        // The observer stands for a tap at the head of the input stream: it sees a key first.
        // A key the fixed table lacks still counts as a key typed, with code -1.
        observe(ObservedInputEvent::Type::keyDown, code ? *code : -1);
        deliver({KeyboardEvent::Type::keyDown, code ? *code : -1, flags, timestamp});
        return;
    }
    case Role::capsLock:
        // Caps Lock toggles its flag at the press; the release changes nothing.
        if (!down) return;
        capsLock_ = !capsLock_;
        deliver({KeyboardEvent::Type::flagsChanged, keycodes::capsLock, modifierFlags(), timestamp});
        return;
    case Role::command: virtualKey = role.rightHand ? keycodes::rightCommand : keycodes::command; break;
    case Role::shift: virtualKey = role.rightHand ? keycodes::rightShift : keycodes::shift; break;
    case Role::option: virtualKey = role.rightHand ? keycodes::rightOption : keycodes::option; break;
    case Role::control: virtualKey = role.rightHand ? keycodes::rightControl : keycodes::control; break;
    }
    // A held modifier repeats its press; nothing changes then.
    if (down_[keycode] == down) return;
    down_[keycode] = down;
    // Reported even when the other key of a pair keeps the flag: the key still changed.
    deliver({KeyboardEvent::Type::flagsChanged, virtualKey, modifierFlags(), timestamp});
}

void X11KeyboardEventMonitor::handleButton(unsigned int button, bool down) {
    const bool wheel = button >= Button4 && button <= 7;
    if (down && !wheel && buttonPressHandler_) buttonPressHandler_();
    if (button != Button1) return;
    observe(down ? ObservedInputEvent::Type::leftMouseDown : ObservedInputEvent::Type::leftMouseUp);
}

void X11KeyboardEventMonitor::deliver(const KeyboardEvent& event) {
    const bool local = focusedOwnWindow_ != 0 || (hasKeyboardFocus_ && hasKeyboardFocus_());
    // A copy: a monitor may add or remove monitors; a removed one is not called any more.
    const std::vector<Monitor> monitors = monitors_;
    for (const Monitor& monitor : monitors) {
        const bool present = std::any_of(monitors_.begin(), monitors_.end(),
                                         [&](const Monitor& m) { return m.token == monitor.token; });
        if (!present) continue;
        if (local && monitor.local) monitor.local(event);
        if (!local && monitor.global) monitor.global(event);
    }
}

void X11KeyboardEventMonitor::observe(ObservedInputEvent::Type type, int keyCode) {
    const ObserverHandler observer = observer_;
    if (observer) observer({type, modifierFlags(), keyCode});
}

KeyboardEventMonitor::Token X11KeyboardEventMonitor::addLocalMonitor(LocalHandler handler) {
    monitors_.push_back({++lastToken_, std::move(handler), {}});
    return lastToken_;
}

KeyboardEventMonitor::Token X11KeyboardEventMonitor::addGlobalMonitor(GlobalHandler handler) {
    monitors_.push_back({++lastToken_, {}, std::move(handler)});
    return lastToken_;
}

void X11KeyboardEventMonitor::removeMonitor(Token token) {
    std::erase_if(monitors_, [&](const Monitor& m) { return m.token == token; });
}

bool X11KeyboardEventMonitor::preflightListenEventAccess() { return true; }

bool X11KeyboardEventMonitor::startObserver(ObserverHandler handler) {
    observer_ = std::move(handler);
    return true;
}

void X11KeyboardEventMonitor::stopObserver() { observer_ = nullptr; }

void X11KeyboardEventMonitor::setHasKeyboardFocus(std::function<bool()> hasKeyboardFocus) {
    hasKeyboardFocus_ = std::move(hasKeyboardFocus);
}

void X11KeyboardEventMonitor::setOwnWindows(std::function<std::vector<unsigned long>()> ownWindows) {
    ownWindows_ = std::move(ownWindows);
    watchOwnWindows();
}

void X11KeyboardEventMonitor::watchOwnWindows() {
    if (!ownWindows_) return;
    std::vector<unsigned long> windows = ownWindows_();
    std::sort(windows.begin(), windows.end());
    if (windows == watched_) return;
    Display* d = display_.get();
    x11::ErrorTrap trap(d); // a window may be gone already
    bool added = false;
    for (const unsigned long window : windows) {
        if (std::binary_search(watched_.begin(), watched_.end(), window)) continue;
        XSelectInput(d, window, FocusChangeMask);
        added = true;
    }
    if (!std::binary_search(windows.begin(), windows.end(), focusedOwnWindow_)) focusedOwnWindow_ = 0;
    watched_ = std::move(windows);
    trap.sync();
    if (!added) return;
    // A window new to us may have the focus already; from now on its events tell.
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(d, &focus, &revertTo);
    if (std::binary_search(watched_.begin(), watched_.end(), focus)) focusedOwnWindow_ = focus;
}

// Focus moving into a window of its own (Inferior) stays with it; a grab by another client takes
// it away (mode Grab) until it ends (Ungrab). Pointer details name the window under the
// pointer, not the focus.
void X11KeyboardEventMonitor::handleFocus(bool in, int detail, unsigned long window) {
    if (detail == NotifyPointer || detail == NotifyInferior) return;
    if (!std::binary_search(watched_.begin(), watched_.end(), window)) return;
    if (in) focusedOwnWindow_ = window;
    else if (focusedOwnWindow_ == window) focusedOwnWindow_ = 0;
}

int X11KeyboardEventMonitor::fileDescriptor() const { return ConnectionNumber(display_.get()); }

void X11KeyboardEventMonitor::processPendingEvents() {
    Display* d = display_.get();
    // One mapping change comes as several events; read the keymap once, before the next key.
    bool mappingChanged = false;
    watchOwnWindows();
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_ && XGetEventData(d, &event.xcookie)) {
            const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
            const int type = raw->evtype;
            const auto detail = static_cast<unsigned int>(raw->detail);
            const unsigned long time = raw->time;
            XFreeEventData(d, &event.xcookie);
            if (mappingChanged) {
                readKeymap();
                mappingChanged = false;
            }
            switch (type) {
            case XI_RawKeyPress: handleKey(detail, true, time); break;
            case XI_RawKeyRelease: handleKey(detail, false, time); break;
            case XI_RawButtonPress: handleButton(detail, true); break;
            case XI_RawButtonRelease: handleButton(detail, false); break;
            default: break;
            }
        } else if (event.type == FocusIn || event.type == FocusOut) {
            handleFocus(event.type == FocusIn, event.xfocus.detail, event.xfocus.window);
        } else if (x11::noteKeymapChange(event, xkbEventBase_)) {
            mappingChanged = true;
        }
    }
    if (mappingChanged) readKeymap();
}

} // namespace tavlin
