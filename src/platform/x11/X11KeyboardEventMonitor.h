#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/keys/KeyboardEvents.h"
#include "platform/x11/X11Display.h"

namespace tavlin {

// Watches all keyboard and mouse-button input through XInput2 raw events on the root window,
// on a connection of its own: the connection that holds a hot key's grab is not sent the raw
// events of the grabbed key. The modifier flags are tracked from the same events. Events are
// read by `processPendingEvents`, on the main thread.
//
// Modifier keys are known by their symbols in the keymap (Super command, Shift shift, Alt and
// Meta option, Control control; a right-hand key reports its own code); each press or release
// of one is a `flagsChanged`, Caps Lock's press toggles its flag. Any other key's press is a
// `keyDown` (code -1 when the fixed table has no code for the key); releases are not reported.
// Timestamps are the server's time in seconds.
//
// Each event goes to one kind of monitor: the local ones while this program has the keyboard
// (as `setHasKeyboardFocus` tells), the global ones otherwise, never to both: the recognition
// of a lone modifier must see each event once. X cannot hold back an event from the window it
// is sent to, so what a local monitor answers is not used.
class X11KeyboardEventMonitor final : public KeyboardEventMonitor {
public:
    // Null when the display cannot be reached or has no XInput 2.2.
    static std::unique_ptr<X11KeyboardEventMonitor> open(const char* displayName = nullptr);
    ~X11KeyboardEventMonitor() override;

    Token addLocalMonitor(LocalHandler handler) override;
    Token addGlobalMonitor(GlobalHandler handler) override;
    void removeMonitor(Token token) override;
    bool preflightListenEventAccess() override;
    bool startObserver(ObserverHandler handler) override;
    void stopObserver() override;

    // Whether this program holds the keyboard now (a grab of its own); without it, never.
    void setHasKeyboardFocus(std::function<bool()> hasKeyboardFocus);
    // The top-level windows of this program, asked again before each reading of events. The
    // input focus in one of them also makes the keyboard this program's. It is followed through
    // the focus events of these windows, which come in order with the key events: a toolkit's
    // idea of the focus, or the server's answer when the event is read, lags behind it.
    void setOwnWindows(std::function<std::vector<unsigned long>()> ownWindows);
    // Called on every press of a pointer button (not the wheel), wherever the pointer is.
    void setButtonPressHandler(std::function<void()> handler) { buttonPressHandler_ = std::move(handler); }
    // The modifier flags as the events so far leave them.
    std::uint64_t modifierFlags() const;

    int fileDescriptor() const;
    // Handles every event received so far and calls the monitors; never blocks.
    void processPendingEvents();

private:
    // What a key does to the flags.
    enum class Role : std::uint8_t { other, command, shift, option, control, capsLock };
    struct KeyRole {
        Role role = Role::other;
        bool rightHand = false;
    };
    struct Monitor {
        Token token;
        LocalHandler local;
        GlobalHandler global;
    };

    explicit X11KeyboardEventMonitor(x11::DisplayPtr display, int xiOpcode);
    void readKeymap();
    void readInitialState();
    double secondsOfServerTime(unsigned long time);
    void handleKey(unsigned int keycode, bool down, unsigned long time);
    void handleButton(unsigned int button, bool down);
    void deliver(const KeyboardEvent& event);
    void observe(ObservedInputEvent::Type type, int keyCode = -1);
    void watchOwnWindows();
    void handleFocus(bool in, int detail, unsigned long window);

    x11::DisplayPtr display_;
    int xiOpcode_;
    int xkbEventBase_ = -1;
    std::array<KeyRole, 256> roles_{};
    std::array<bool, 256> down_{}; // the modifier keys held now
    bool capsLock_ = false;
    unsigned long lastServerTime_ = 0;
    std::uint64_t serverTimeWraps_ = 0;
    std::vector<Monitor> monitors_;
    Token lastToken_ = 0;
    ObserverHandler observer_;
    std::function<bool()> hasKeyboardFocus_;
    std::function<std::vector<unsigned long>()> ownWindows_;
    std::vector<unsigned long> watched_;
    unsigned long focusedOwnWindow_ = 0; // none
    std::function<void()> buttonPressHandler_;
};

} // namespace tavlin
