#include "platform/x11/X11HotKeyRegistrar.h"

#include <algorithm>
#include <string>
#include <utility>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/base/Diagnostics.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "platform/x11/X11Connection.h"

namespace tavlin {
namespace {

// Key events carry the pointer buttons in their state too; a grab only looks at these.
constexpr unsigned int modifierBits = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

// The lock states a combination is grabbed in; a missing Num Lock adds none.
std::vector<unsigned int> lockStates(unsigned int numLock) {
    std::vector<unsigned int> states{0, LockMask};
    if (numLock && numLock != LockMask) {
        states.push_back(numLock);
        states.push_back(numLock | LockMask);
    }
    return states;
}

} // namespace

std::unique_ptr<X11HotKeyRegistrar> X11HotKeyRegistrar::open(const char* displayName) {
    auto display = x11::openDisplay(displayName);
    if (!display) return nullptr;
    return std::unique_ptr<X11HotKeyRegistrar>(new X11HotKeyRegistrar(std::move(display)));
}

X11HotKeyRegistrar::X11HotKeyRegistrar(x11::DisplayPtr display)
    : display_(std::move(display)), root_(DefaultRootWindow(display_.get())) {
    Display* d = display_.get();
    xkbEventBase_ = x11::selectKeymapChanges(d);
    // A held hot key then repeats as presses alone, not as release-press pairs (every XKB
    // server can do this).
    Bool supported = False;
    XkbSetDetectableAutoRepeat(d, True, &supported);
    numLockMask_ = x11::numLockMask(d);
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (XQueryExtension(d, "XInputExtension", &opcode, &eventBase, &errorBase)) {
        int major = 2, minor = 0;
        hasXInput2_ = XIQueryVersion(d, &major, &minor) == Success && major >= 2;
        xiOpcode_ = opcode;
    }
    XSync(d, False);
}

X11HotKeyRegistrar::~X11HotKeyRegistrar() {
    if (!display_) return;
    for (const auto& hotKey : hotKeys_) ungrab(hotKey.keycode, hotKey.modifiers);
    releaseUnclaimedGrabs();
    XSync(display_.get(), False);
}

X11HotKeyRegistrar::HeldGrabs X11HotKeyRegistrar::detach(std::unique_ptr<X11HotKeyRegistrar> registrar) {
    HeldGrabs held;
    if (!registrar) return held;
    held.numLockMask = registrar->numLockMask_;
    held.combinations = std::move(registrar->adopted_);
    for (const auto& hotKey : registrar->hotKeys_) {
        const std::pair combination{hotKey.keycode, hotKey.modifiers};
        if (std::find(held.combinations.begin(), held.combinations.end(), combination) == held.combinations.end())
            held.combinations.push_back(combination);
    }
    registrar->hotKeys_.clear();
    held.display = std::move(registrar->display_);
    return held;
}

std::unique_ptr<X11HotKeyRegistrar> X11HotKeyRegistrar::adopt(HeldGrabs held) {
    if (!held.display) return nullptr;
    std::unique_ptr<X11HotKeyRegistrar> registrar(new X11HotKeyRegistrar(std::move(held.display)));
    // Released and taken again with the lock states they were taken in.
    registrar->numLockMask_ = held.numLockMask;
    registrar->adopted_ = std::move(held.combinations);
    return registrar;
}

bool X11HotKeyRegistrar::isAdopted(unsigned int keycode, unsigned int modifiers) const {
    return std::find(adopted_.begin(), adopted_.end(), std::pair{keycode, modifiers}) != adopted_.end();
}

void X11HotKeyRegistrar::releaseUnclaimedGrabs() {
    for (const auto& [keycode, modifiers] : std::exchange(adopted_, {})) ungrab(keycode, modifiers);
}

int X11HotKeyRegistrar::fileDescriptor() const { return ConnectionNumber(display_.get()); }

int X11HotKeyRegistrar::grab(unsigned int keycode, unsigned int modifiers) {
    x11::ErrorTrap trap(display_.get());
    for (unsigned int locks : lockStates(numLockMask_)) {
        XGrabKey(display_.get(), keycode, modifiers | locks, root_, False, GrabModeAsync, GrabModeAsync);
    }
    int error = trap.sync();
    if (error == Success && heldThroughXInput2(keycode, modifiers)) error = BadAccess;
    // Undo the lock states that were taken, so a refused combination leaves nothing behind.
    // The server ungrabs only this client's own grabs.
    if (error != Success) ungrab(keycode, modifiers);
    return error;
}

bool X11HotKeyRegistrar::heldThroughXInput2(unsigned int keycode, unsigned int modifiers) {
    if (!hasXInput2_) return false;
    Display* d = display_.get();
    std::vector<XIGrabModifiers> requested;
    for (unsigned int locks : lockStates(numLockMask_)) requested.push_back({static_cast<int>(modifiers | locks), 0});
    auto inout = requested;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XISetMask(bits, XI_KeyRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    x11::ErrorTrap trap(d);
    const int failed = XIGrabKeycode(d, XIAllMasterDevices, static_cast<int>(keycode), root_, XIGrabModeAsync, XIGrabModeAsync,
                                     False, &mask, static_cast<int>(inout.size()), inout.data());
    // Only this client's own grabs are removed, so asking for every state undoes exactly ours.
    XIUngrabKeycode(d, XIAllMasterDevices, static_cast<int>(keycode), root_, static_cast<int>(requested.size()),
                    requested.data());
    trap.sync();
    return failed > 0;
}

std::optional<std::pair<unsigned int, unsigned int>> X11HotKeyRegistrar::xCombination(std::uint32_t keyCode,
                                                                                      std::uint32_t carbonModifiers) {
    // Codes beyond int's range have no key either.
    const auto xKeycode = keycodes::xKeycode(static_cast<int>(std::min<std::uint32_t>(keyCode, 0x7fffffff)));
    const auto modifiers = x11::xModifiersOfCarbonMask(carbonModifiers);
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display_.get(), &minKeycode, &maxKeycode);
    if (!xKeycode || !modifiers || static_cast<int>(*xKeycode) < minKeycode || static_cast<int>(*xKeycode) > maxKeycode) {
        return std::nullopt;
    }
    return std::make_pair(*xKeycode, *modifiers);
}

bool X11HotKeyRegistrar::isHeldByAnotherProgram(std::uint32_t keyCode, std::uint32_t carbonModifiers) {
    const auto combination = xCombination(keyCode, carbonModifiers);
    if (!combination) return false;
    // Plain variables, not a structured binding: the lambda below captures them.
    const unsigned int keycode = combination->first;
    const unsigned int modifiers = combination->second;
    const bool ours = isAdopted(keycode, modifiers) || std::any_of(hotKeys_.begin(), hotKeys_.end(), [&](const HotKey& h) {
                          return h.keycode == keycode && h.modifiers == modifiers;
                      });
    if (ours) return false;
    const int error = grab(keycode, modifiers);
    if (error == Success) ungrab(keycode, modifiers);
    return error == BadAccess;
}

void X11HotKeyRegistrar::ungrab(unsigned int keycode, unsigned int modifiers) {
    x11::ErrorTrap trap(display_.get());
    for (unsigned int locks : lockStates(numLockMask_)) XUngrabKey(display_.get(), keycode, modifiers | locks, root_);
    trap.sync();
}

bool X11HotKeyRegistrar::isShared(const HotKey& hotKey) const {
    return std::any_of(hotKeys_.begin(), hotKeys_.end(), [&](const HotKey& other) {
        return other.reference != hotKey.reference && other.keycode == hotKey.keycode && other.modifiers == hotKey.modifiers;
    });
}

HotKeyRegistrar::Registration X11HotKeyRegistrar::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                                                 std::uint32_t identifier) {
    const auto combination = xCombination(keyCode, carbonModifiers);
    if (!combination) return {statusInvalidCombination, 0};
    HotKey hotKey{lastReference_ + 1, identifier, combination->first, combination->second};
    // This connection already holds the combination: grabbing again would succeed but could
    // not be undone without dropping the other registration's grab. An adopted grab is taken
    // over as it is.
    if (isAdopted(hotKey.keycode, hotKey.modifiers)) {
        std::erase(adopted_, std::pair{hotKey.keycode, hotKey.modifiers});
    } else if (!isShared(hotKey)) {
        const int error = grab(hotKey.keycode, hotKey.modifiers);
        if (error == BadAccess) return {statusHeldByAnotherProgram, 0};
        if (error != Success) return {statusServerError, 0};
    }
    lastReference_ = hotKey.reference;
    hotKeys_.push_back(hotKey);
    return {0, hotKey.reference};
}

void X11HotKeyRegistrar::unregisterHotKey(Reference reference) {
    const auto it = std::find_if(hotKeys_.begin(), hotKeys_.end(), [&](const HotKey& h) { return h.reference == reference; });
    if (it == hotKeys_.end()) return;
    if (!isShared(*it)) ungrab(it->keycode, it->modifiers);
    std::erase_if(pressed_, [&](const HotKey& h) { return h.reference == reference; });
    hotKeys_.erase(it);
}

void X11HotKeyRegistrar::setHandlers(Handler pressed, Handler released) {
    pressedHandler_ = std::move(pressed);
    releasedHandler_ = std::move(released);
}

void X11HotKeyRegistrar::regrabAll() {
    const unsigned int newNumLock = x11::numLockMask(display_.get());
    std::vector<std::pair<unsigned int, unsigned int>> combinations;
    for (const auto& hotKey : hotKeys_) {
        const std::pair combination{hotKey.keycode, hotKey.modifiers};
        if (std::find(combinations.begin(), combinations.end(), combination) == combinations.end())
            combinations.push_back(combination);
    }
    for (const auto& [keycode, modifiers] : combinations) ungrab(keycode, modifiers);
    for (const auto& [keycode, modifiers] : adopted_) ungrab(keycode, modifiers);
    numLockMask_ = newNumLock;
    // An adopted grab that cannot be had again is no one's yet: it is simply gone.
    std::erase_if(adopted_, [this](const auto& combination) { return grab(combination.first, combination.second) != Success; });
    for (const auto& [keycode, modifiers] : combinations) {
        if (grab(keycode, modifiers) != Success) {
            diag::printLine(diag::Category::keys, "could not grab X key code " + std::to_string(keycode) + " with modifiers " +
                                                      std::to_string(modifiers) + " again after a keyboard mapping change");
        }
    }
}

void X11HotKeyRegistrar::handleKeyPress(unsigned int keycode, unsigned int state) {
    // A held key repeats its press; the hot key was already reported.
    if (std::any_of(pressed_.begin(), pressed_.end(), [&](const HotKey& h) { return h.keycode == keycode; })) return;
    const unsigned int modifiers = state & modifierBits & ~(LockMask | numLockMask_);
    // Several registrations of one combination: the oldest one stands for it.
    const auto it = std::find_if(hotKeys_.begin(), hotKeys_.end(),
                                 [&](const HotKey& h) { return h.keycode == keycode && h.modifiers == modifiers; });
    if (it == hotKeys_.end()) return;
    pressed_.push_back(*it);
    // A copy: the handler may replace the handlers or the hot keys.
    const Handler handler = pressedHandler_;
    if (handler) handler(pressed_.back().identifier);
}

void X11HotKeyRegistrar::handleKeyRelease(unsigned int keycode) {
    // The grab keeps the keyboard until the key goes up, so the release arrives even when the
    // modifiers were let go first: match by key alone.
    const auto it = std::find_if(pressed_.begin(), pressed_.end(), [&](const HotKey& h) { return h.keycode == keycode; });
    if (it == pressed_.end()) return;
    const std::uint32_t identifier = it->identifier;
    pressed_.erase(it);
    const Handler handler = releasedHandler_;
    if (handler) handler(identifier);
}

void X11HotKeyRegistrar::processPendingEvents() {
    Display* d = display_.get();
    // One mapping change comes as several events; grab again once, before the next key.
    bool mappingChanged = false;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if ((event.type == KeyPress || event.type == KeyRelease) && mappingChanged) {
            regrabAll();
            mappingChanged = false;
        }
        if (event.type == KeyPress) {
            handleKeyPress(event.xkey.keycode, event.xkey.state);
        } else if (event.type == KeyRelease) {
            handleKeyRelease(event.xkey.keycode);
        } else if (event.type == GenericEvent && event.xcookie.extension == xiOpcode_ && XGetEventData(d, &event.xcookie)) {
            // A key typed while the probe's grab was in place is this client's too: its press
            // and release come as input-extension events, and are the hot key's all the same.
            const auto* key = static_cast<const XIDeviceEvent*>(event.xcookie.data);
            const auto keycode = static_cast<unsigned int>(key->detail);
            const auto state = static_cast<unsigned int>(key->mods.effective);
            const int type = key->evtype;
            XFreeEventData(d, &event.xcookie);
            if (type == XI_KeyPress) handleKeyPress(keycode, state);
            else if (type == XI_KeyRelease) handleKeyRelease(keycode);
        } else if (x11::noteKeymapChange(event, xkbEventBase_)) {
            mappingChanged = true;
        }
        for (x11::EventReader* reader : readers_) reader->handleEvent(event);
    }
    if (mappingChanged) regrabAll();
    for (x11::EventReader* reader : readers_) reader->finishBatch();
}

} // namespace tavlin
