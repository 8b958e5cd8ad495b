#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "platform/base/MainQueue.h"
#include "platform/keys/KeyboardEvents.h"

namespace tavlin {

// Turns raw keyboard input into leader-key presses and releases for one callback: hot keys of
// the HotKeyManager (pressed at once, released 0.01 s after their release), and a single
// modifier tapped alone within the configured interval (pressed, then released 0.01 s later).
// Any key-down or click seen in between cancels a pending release. Main thread only.
class KeyEventHandlerManager {
public:
    using KeyHandler = std::function<void(std::uint32_t keyCode, std::uint32_t modifiers, bool keyDown)>;
    // Where an event was typed: into this program (the local monitor), or into another one and
    // only observed (the global monitor). Keys typed elsewhere may be a password: their key
    // codes are never traced, nor are key-downs typed elsewhere at all.
    enum class Origin { thisProgram, elsewhere };

    static KeyEventHandlerManager& shared();

    // The event sources; the application installs them before arming, and clears the monitor
    // before destroying it (armed sources are removed from it first).
    void setMonitor(KeyboardEventMonitor* monitor);
    KeyboardEventMonitor* monitor() const { return monitor_; }

    // Installs the callback, both monitors, the hot-key handlers (unless skipped) and the
    // observer of all input (when input may be observed). Sources still installed are removed
    // first, so that no event is reported twice.
    void addKeyEventHandler(bool skipHotKeys, KeyHandler keyHandler);
    // Removes every source, cancels a pending release and forgets any tap under way, so that
    // nothing reaches the callback while the leader keys are off and the next registration
    // starts as a fresh one. The callback itself stays.
    void removeKeyEventHanlder();

    // Single-modifier recognition; the answer is what the local monitor passes on (nothing
    // swallows the release of a recognised tap).
    std::optional<KeyboardEvent> handleModifierFlagsChangedEvent(const KeyboardEvent& event, Origin origin = Origin::thisProgram);
    // Notes key-downs with a modifier held; passes the event on unchanged.
    KeyboardEvent handleKeyDownEvent(const KeyboardEvent& event, Origin origin = Origin::thisProgram);
    // Reports a tap of the modifier among the flags (command first, then shift, option, control).
    void fireSingleModifierLeaderKey(std::uint64_t modifierFlags);

    // What the hot-key registrar reports, by the identifier it was given.
    void hotKeyPressed(std::uint32_t identifier);
    void hotKeyReleased(std::uint32_t identifier);
    // The combination of a registered hot key; prints "<id> not found" for any other identifier.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> hotKeyID(std::uint32_t identifier) const;

    // What the observer of all input reports.
    void observedInput(const ObservedInputEvent& event);

    const std::optional<KeyboardEvent>& latestModifierEvent() const { return latestModifierEvent_; }
    bool giveUpOnce = false;
    bool hasPendingRelease() const { return delayedKeyUpTimer_.has_value(); }
    // A leader key is down, or its release has yet to show or hide the input window.
    bool leaderKeyUnderway() const { return hotKeyHeld_ || hasPendingRelease(); }
    bool hasKeyHandler() const { return static_cast<bool>(keyHandler_); }
    bool monitorsInstalled() const { return localEventMonitor_.has_value() || globalEventMonitor_.has_value(); }
    bool hotKeyHandlersInstalled() const { return hotKeyHandlersInstalled_; }
    bool observerRunning() const { return observerRunning_; }
    // Whether the observer started when the handler was last installed; removing the handler
    // leaves this as it was.
    bool observerStartedWhenLastInstalled() const { return observerStarted_; }

    // Back to the state of a fresh process (sources removed, no callback, nothing pending); used
    // when the queue or the event sources are replaced.
    void reset();

private:
    void removeSources();
    void forgetTap();
    void setLatestModifierEvent(std::optional<KeyboardEvent> event, Origin origin = Origin::thisProgram);
    void cancelDelayedKeyUp();
    bool isDelayedKeyUpsOwnKey(bool keyDown, int keyCode) const;
    bool isDelayedKeyUpsOwnModifier(const KeyboardEvent& event) const;
    // The modifier the event is about belongs to a hot key whose release waits.
    bool isHotKeyReleasesModifier(const KeyboardEvent& event) const;
    void scheduleDelayedKeyUp(std::uint32_t keyCode, std::uint32_t modifiers);

    KeyboardEventMonitor* monitor_ = nullptr;
    bool hotKeyHandlersInstalled_ = false;
    bool hotKeyHeld_ = false;
    std::optional<KeyboardEventMonitor::Token> localEventMonitor_;
    std::optional<KeyboardEventMonitor::Token> globalEventMonitor_;
    bool observerRunning_ = false;
    bool observerStarted_ = false;
    std::optional<KeyboardEvent> latestModifierEvent_;
    Origin latestModifierEventOrigin_ = Origin::thisProgram;
    KeyHandler keyHandler_;
    std::optional<MainQueue::TimerID> delayedKeyUpTimer_;
    // The key of the combination whose release waits.
    std::uint32_t delayedKeyUpKeyCode_ = 0;
    // Its Carbon modifiers when it is a hot key; none for a single-modifier tap.
    std::uint32_t delayedKeyUpModifiers_ = 0;
};

// Set by the observer when it sees a key-down or click with a modifier held; read and cleared
// by the single-modifier recognition.
bool& tapSawModifiedInput();

} // namespace tavlin
