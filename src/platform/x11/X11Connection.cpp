#include "platform/x11/X11Connection.h"

#include <X11/XKBlib.h>

#include <X11/keysym.h>

namespace tavlin::x11 {

void DisplayCloser::operator()(_XDisplay* display) const {
    if (display) XCloseDisplay(display);
}

DisplayPtr openDisplay(const char* displayName) { return DisplayPtr(XOpenDisplay(displayName)); }

namespace {
// The innermost trap; traps nest as a stack (each keeps the one it covered).
ErrorTrap* innermostTrap = nullptr;
XErrorHandler previousHandler = nullptr;
} // namespace

int trapHandler(Display* display, XErrorEvent* event) {
    for (ErrorTrap* trap = innermostTrap; trap; trap = trap->outer_) {
        if (trap->display_ == display && event->serial >= trap->firstSerial_) {
            if (trap->error_ == Success) trap->error_ = event->error_code;
            return 0;
        }
    }
    return previousHandler ? previousHandler(display, event) : 0;
}

ErrorTrap::ErrorTrap(Display* display) : display_(display), outer_(innermostTrap) {
    // Errors of requests already sent belong to whoever sent them.
    XSync(display_, False);
    firstSerial_ = NextRequest(display_);
    if (!outer_) previousHandler = XSetErrorHandler(trapHandler);
    innermostTrap = this;
}

ErrorTrap::~ErrorTrap() {
    XSync(display_, False);
    innermostTrap = outer_;
    if (!outer_) {
        XSetErrorHandler(previousHandler);
        previousHandler = nullptr;
    }
}

int ErrorTrap::sync() {
    XSync(display_, False);
    return error_;
}

void ErrorTrap::reset() {
    XSync(display_, False);
    error_ = Success;
    firstSerial_ = NextRequest(display_);
}

std::optional<unsigned int> xModifiersOfCarbonMask(std::uint32_t carbonMask) {
    if (carbonMask & ~carbon::all) return std::nullopt;
    unsigned int modifiers = 0;
    if (carbonMask & carbon::command) modifiers |= commandMask;
    if (carbonMask & carbon::shift) modifiers |= shiftMask;
    if (carbonMask & carbon::option) modifiers |= optionMask;
    if (carbonMask & carbon::control) modifiers |= controlMask;
    return modifiers;
}

unsigned int numLockMask(Display* display) {
    // Straight from the server: Xlib's cached keymap may lag behind a mapping change.
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned int mask = 0;
    if (keysyms && map) {
        for (int modifier = 0; modifier < 8 && !mask; ++modifier) {
            for (int i = 0; i < map->max_keypermod && !mask; ++i) {
                const int keycode = map->modifiermap[modifier * map->max_keypermod + i];
                if (keycode < minKeycode || keycode > maxKeycode) continue;
                for (int level = 0; level < perKeycode; ++level) {
                    if (keysyms[(keycode - minKeycode) * perKeycode + level] == XK_Num_Lock) {
                        mask = 1u << modifier;
                        break;
                    }
                }
            }
        }
    }
    if (map) XFreeModifiermap(map);
    if (keysyms) XFree(keysyms);
    return mask;
}

int selectKeymapChanges(Display* display) {
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) return -1;
    // An XKB server tells its XKB clients of mapping changes only through XKB events.
    constexpr unsigned int mappingEvents = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display, XkbUseCoreKbd, mappingEvents, mappingEvents);
    return eventBase;
}

bool noteKeymapChange(XEvent& event, int xkbEventBase) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return event.xmapping.request != MappingPointer;
    }
    if (xkbEventBase >= 0 && event.type == xkbEventBase) {
        const int type = reinterpret_cast<const XkbAnyEvent&>(event).xkb_type;
        return type == XkbNewKeyboardNotify || type == XkbMapNotify;
    }
    return false;
}

} // namespace tavlin::x11
