#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/keys/KeyboardEvents.h"
#include "platform/x11/X11Display.h"

namespace tavlin {

// Hot keys as passive key grabs on the root window, on a connection of its own. A combination
// is grabbed once per lock state (with and without Caps Lock and Num Lock), so the locks never
// stop a hot key. Events are read by `processPendingEvents`, on the main thread.
class X11HotKeyRegistrar final : public HotKeyRegistrar {
public:
    // Registration statuses besides success (0).
    static constexpr std::int32_t statusHeldByAnotherProgram = Registration::heldByAnotherProgram;
    // A key code without a key, or modifier bits other than the four.
    static constexpr std::int32_t statusInvalidCombination = -50;
    // Any other refusal by the X server.
    static constexpr std::int32_t statusServerError = -1;

    // Null when the display cannot be reached ($DISPLAY when `displayName` is null).
    static std::unique_ptr<X11HotKeyRegistrar> open(const char* displayName = nullptr);
    ~X11HotKeyRegistrar() override;

    // A connection with the grabs it holds, passed on from one registrar to another: a grab
    // belongs to the connection that made it, and presses it took wait there to be read.
    struct HeldGrabs {
        x11::DisplayPtr display;
        unsigned int numLockMask = 0;
        std::vector<std::pair<unsigned int, unsigned int>> combinations; // X key code, X modifiers
    };
    // Lets go of the connection, its grabs still held; the registrar is left without one.
    static HeldGrabs detach(std::unique_ptr<X11HotKeyRegistrar> registrar);
    // Takes over a detached connection. Its grabs count as this registrar's own; each is handed
    // to the first registration of its combination, and `releaseUnclaimedGrabs` lets go of the
    // rest. Null without a connection.
    static std::unique_ptr<X11HotKeyRegistrar> adopt(HeldGrabs held);
    void releaseUnclaimedGrabs();

    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, std::uint32_t identifier) override;
    void unregisterHotKey(Reference reference) override;
    void setHandlers(Handler pressed, Handler released) override;
    // Tries to grab the combination (core and XInput2, every lock state) and undoes what it
    // took; a combination this registrar holds answers false untouched.
    bool isHeldByAnotherProgram(std::uint32_t keyCode, std::uint32_t carbonModifiers) override;

    // The connection's socket: readable when `processPendingEvents` has work.
    int fileDescriptor() const;
    // The connection, for pieces that share it; they are handed its other events (see
    // x11::EventReader) and must go before the registrar.
    _XDisplay* sharedDisplay() const { return display_.get(); }
    void addEventReader(x11::EventReader* reader) { readers_.push_back(reader); }
    // Handles every event received so far and calls the handlers; never blocks.
    void processPendingEvents();

private:
    struct HotKey {
        Reference reference;
        std::uint32_t identifier;
        unsigned int keycode;
        unsigned int modifiers; // X modifier bits, without locks
    };

    explicit X11HotKeyRegistrar(x11::DisplayPtr display);
    // Grabs one combination in every lock state; on failure undoes it and answers the X error.
    // A combination another client holds through XInput2 counts as BadAccess: core and XInput2
    // grabs never conflict, so the core grab alone would take the key from that client.
    int grab(unsigned int keycode, unsigned int modifiers);
    bool heldThroughXInput2(unsigned int keycode, unsigned int modifiers);
    // The X key code and modifiers of a combination; nothing when it has no key.
    std::optional<std::pair<unsigned int, unsigned int>> xCombination(std::uint32_t keyCode, std::uint32_t carbonModifiers);
    void ungrab(unsigned int keycode, unsigned int modifiers);
    bool isShared(const HotKey& hotKey) const;
    void regrabAll();
    bool isAdopted(unsigned int keycode, unsigned int modifiers) const;
    void handleKeyPress(unsigned int keycode, unsigned int state);
    void handleKeyRelease(unsigned int keycode);

    x11::DisplayPtr display_;
    unsigned long root_;
    int xkbEventBase_ = -1;
    bool hasXInput2_ = false;
    int xiOpcode_ = -1;
    unsigned int numLockMask_ = 0;
    std::vector<HotKey> hotKeys_; // in registration order
    // Grabs taken over from another registrar that no registration has claimed yet.
    std::vector<std::pair<unsigned int, unsigned int>> adopted_;
    Reference lastReference_ = 0;
    std::vector<HotKey> pressed_; // the hot keys whose key is down
    Handler pressedHandler_;
    Handler releasedHandler_;
    std::vector<x11::EventReader*> readers_;
};

} // namespace tavlin
