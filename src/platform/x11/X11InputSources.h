#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/keys/KeyboardLayout.h"
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
class X11InputSources final : public x11::EventReader {
public:
    // Null when the display cannot be reached or has no XKB.
    static std::unique_ptr<X11InputSources> open(const char* displayName = nullptr);
    // On connections other pieces own, which must outlive it: the Xlib one for requests and
    // notices (handed over through `handleEvent` and `finishBatch`), an XCB one to the same
    // display to read keymaps over. Null without XKB.
    static std::unique_ptr<X11InputSources> onSharedConnections(_XDisplay* display, xcb_connection_t* xcb);
    ~X11InputSources() override;
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
    // -1 on shared connections, whose owner reads them.
    int fileDescriptor() const;
    // Handles every event received so far; never blocks. Nothing on shared connections.
    void processPendingEvents();
    void handleEvent(_XEvent& event) override;
    void finishBatch() override;

private:
    X11InputSources(x11::DisplayPtr owned, _XDisplay* display, xcb_connection_t* xcb, bool ownsXcb, xkb_context* context,
                    std::int32_t deviceId, int xkbEventBase);
    // The server's keymap now (the caller unrefs it); null when it cannot be read.
    xkb_keymap* fetchKeymap();

    x11::DisplayPtr ownDisplay_;
    _XDisplay* display_;
    xcb_connection_t* xcb_;
    bool ownsXcb_;
    bool changed_ = false;
    xkb_context* context_;
    std::int32_t deviceId_;
    int xkbEventBase_;
    std::function<void()> changeHandler_;
};

} // namespace tavlin
