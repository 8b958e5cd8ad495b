#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/KeyboardLayout.h"
#include "platform/x11/X11Display.h"

struct xcb_connection_t;
struct xkb_context;
struct xkb_keymap;

namespace tavlin {

// One keyboard layout the user can switch to: a group of the X server's keymap.
struct X11InputSource {
    std::string id;   // the layout as the keymap's rule names give it: "us", "de(nodeadkeys)"
    std::string name; // the layout's name in the keymap: "English (US)"
    friend bool operator==(const X11InputSource&, const X11InputSource&) = default;
};

// The layouts (XKB groups) of the core keyboard: which there are, which is current, switching.
class X11InputSources {
public:
    // Null when the display cannot be reached or has no XKB.
    static std::unique_ptr<X11InputSources> open(const char* displayName = nullptr);
    ~X11InputSources();
    X11InputSources(const X11InputSources&) = delete;
    X11InputSources& operator=(const X11InputSources&) = delete;

    // In group order; empty when the server's keymap cannot be read.
    std::vector<X11InputSource> list();
    // The index of the current group in `list()`.
    std::optional<std::size_t> currentIndex();
    // Locks the group; false when there is no such group or no such identifier (the first
    // layout with the identifier is taken).
    bool selectGroup(std::size_t index);
    bool select(const std::string& id);

    // The current group as a keyboard layout, from the server's keymap.
    std::shared_ptr<const KeyboardLayout> currentLayout();
    // Makes the current group the layout that key names come from; false when it cannot be read.
    bool updateCurrentKeyboardLayout();

    // Called from `processPendingEvents` after the group or the keymap changed.
    void setChangeHandler(std::function<void()> handler);
    int fileDescriptor() const;
    // Handles every event received so far; never blocks.
    void processPendingEvents();

private:
    X11InputSources(x11::DisplayPtr display, xcb_connection_t* xcb, xkb_context* context, std::int32_t deviceId,
                    int xkbEventBase);
    // The server's keymap now (the caller unrefs it); null when it cannot be read.
    xkb_keymap* fetchKeymap();

    x11::DisplayPtr display_;
    xcb_connection_t* xcb_;
    xkb_context* context_;
    std::int32_t deviceId_;
    int xkbEventBase_;
    std::function<void()> changeHandler_;
};

} // namespace tavlin
