#pragma once

#include <cstdint>
#include <optional>

#include <X11/Xlib.h>

#include "platform/keys/KeyboardEvents.h"
#include "platform/x11/X11Display.h"

// What the X11 pieces share inside: a synchronous error trap, and the modifier masks of the
// program's fixed mapping (command Mod4, option Mod1, control Control, shift Shift).
// These pieces have no Wayland counterpart: Wayland gives ordinary clients no global grabs, no
// raw input of other clients and no synthetic keys, and under XWayland they reach X11 windows only.
namespace tavlin::x11 {

// Catches the X errors of the requests made on one connection while it lives, instead of
// letting Xlib's default handler end the process. Errors on other connections, or from
// earlier requests, go to the handler that was installed before. Main thread only: Xlib's
// error handler is process-wide.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has handled every request so far; the error code of the first
    // one that failed since the trap was set (or the last reset), Success (0) when none did.
    int sync();
    void reset();

private:
    friend int trapHandler(Display*, XErrorEvent*);
    Display* display_;
    unsigned long firstSerial_;
    int error_ = Success;
    ErrorTrap* outer_;
};

// The modifier bits that stand for the four key-combination modifiers.
inline constexpr unsigned int commandMask = Mod4Mask;
inline constexpr unsigned int optionMask = Mod1Mask;
inline constexpr unsigned int controlMask = ControlMask;
inline constexpr unsigned int shiftMask = ShiftMask;

// The X modifier mask of a Carbon mask; nothing when the mask has bits outside the four.
std::optional<unsigned int> xModifiersOfCarbonMask(std::uint32_t carbonMask);

// The modifier bit that Num Lock sets in the current modifier map (0 when no key has it).
unsigned int numLockMask(Display* display);

// Asks for the notices of keyboard-mapping changes; answers XKB's event base, or -1 when the
// server has no XKB (then only the core notice comes).
int selectKeymapChanges(Display* display);

// Whether the event says the keyboard mapping changed (the core notice, which it also applies
// to Xlib's tables, or XKB's new-keyboard and map notices).
bool noteKeymapChange(XEvent& event, int xkbEventBase);

} // namespace tavlin::x11
