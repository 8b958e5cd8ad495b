#include "engine/KeyEventHandler.h"

#include <bit>
#include <cmath>
#include <string>

#include "engine/HotKeyManager.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "shortcutkit/Keys.h"

namespace tavlin {
namespace {

// The event flag and the Carbon mask bit of a modifier key; nothing for any other key.
struct ModifierBits {
    std::uint64_t flag;
    std::uint32_t carbon;
};

std::optional<ModifierBits> modifierBits(int keyCode) {
    switch (keyCode) {
    case keycodes::rightCommand:
    case keycodes::command: return ModifierBits{eventFlags::command, carbon::command};
    case keycodes::shift:
    case keycodes::rightShift: return ModifierBits{eventFlags::shift, carbon::shift};
    case keycodes::option:
    case keycodes::rightOption: return ModifierBits{eventFlags::option, carbon::option};
    case keycodes::control:
    case keycodes::rightControl: return ModifierBits{eventFlags::control, carbon::control};
    default: return std::nullopt;
    }
}

// A modifier key going up: its own flag is clear after the change.
bool isModifierRelease(const KeyboardEvent& event) {
    if (event.type != KeyboardEvent::Type::flagsChanged) return false;
    const auto bits = modifierBits(event.keyCode);
    return bits && (event.modifierFlags & bits->flag) == 0;
}

constexpr double delayedKeyUpInterval = 0.01;
constexpr double defaultMaximumPressAndReleaseInterval = 0.2;

std::string typeText(KeyboardEvent::Type type) {
    switch (type) {
    case KeyboardEvent::Type::keyDown: return "keyDown";
    case KeyboardEvent::Type::flagsChanged: return "flagsChanged";
    }
    return "unknown";
}

using Origin = KeyEventHandlerManager::Origin;

std::string summary(const std::optional<KeyboardEvent>& event, Origin origin = Origin::thisProgram) {
    if (!event) return "nil";
    const std::string keyCode = origin == Origin::thisProgram ? "keyCode: " + std::to_string(event->keyCode) + "; " : "";
    return keyCode + "modifiers: " + shortcutkit::modifierFlagsDescription(event->modifierFlags) +
           "; type: " + typeText(event->type) + ";";
}

void printEntryTrace(const char* function, const KeyboardEvent& event, Origin origin, const std::optional<KeyboardEvent>& latest,
                     Origin latestOrigin) {
    const std::string keyCode = origin == Origin::thisProgram ? "\n-- event keyCode: " + std::to_string(event.keyCode) : "";
    diag::printLine(diag::Category::keys, std::string("[[ ") + function + keyCode + "\n-- event modifiers: " +
                                              shortcutkit::modifierFlagsDescription(event.modifierFlags) +
                                              "\n-- event type: " + typeText(event.type) +
                                              "\n-- latestModifierEvent: " + summary(latest, latestOrigin));
}

// The stored interval; anything but a finite number of seconds, zero or more, counts as unset.
double maximumPressAndReleaseInterval() {
    const double interval = settings::maximumSingleModifierPressAndReleaseInterval();
    return std::isfinite(interval) && interval >= 0 ? interval : defaultMaximumPressAndReleaseInterval;
}

} // namespace

bool& tapSawModifiedInput() {
    static bool saw = false;
    return saw;
}

// The shared manager lives for the whole process, so the handlers it installs may refer to it.
KeyEventHandlerManager& KeyEventHandlerManager::shared() {
    static KeyEventHandlerManager manager;
    return manager;
}

void KeyEventHandlerManager::setMonitor(KeyboardEventMonitor* monitor) {
    if (monitor == monitor_) return;
    removeSources();
    monitor_ = monitor;
}

void KeyEventHandlerManager::addKeyEventHandler(bool skipHotKeys, KeyHandler keyHandler) {
    // Sources installed twice would report every event twice.
    removeSources();
    forgetTap();
    keyHandler_ = std::move(keyHandler);

    if (monitor_) {
        localEventMonitor_ = monitor_->addLocalMonitor([this](const KeyboardEvent& event) -> std::optional<KeyboardEvent> {
            if (event.type == KeyboardEvent::Type::flagsChanged) return handleModifierFlagsChangedEvent(event);
            return handleKeyDownEvent(event);
        });
        globalEventMonitor_ = monitor_->addGlobalMonitor([this](const KeyboardEvent& event) {
            // Typing in another application ends the wait for a delayed release; letting go of
            // the combination's own modifiers does not, however soon after its key, nor the
            // presses of its key and modifiers, whose raw events may be read after the hot key's
            // release.
            if (!isModifierRelease(event) && !isDelayedKeyUpsOwnModifier(event) &&
                !isDelayedKeyUpsOwnKey(event.type == KeyboardEvent::Type::keyDown, event.keyCode))
                cancelDelayedKeyUp();
            if (event.type == KeyboardEvent::Type::flagsChanged) handleModifierFlagsChangedEvent(event, Origin::elsewhere);
            else handleKeyDownEvent(event, Origin::elsewhere);
        });
    }

    if (!skipHotKeys) {
        if (auto* registrar = HotKeyManager::shared().registrar()) {
            registrar->setHandlers([this](std::uint32_t identifier) { hotKeyPressed(identifier); },
                                   [this](std::uint32_t identifier) { hotKeyReleased(identifier); });
            hotKeyHandlersInstalled_ = true;
            diag::printLine(diag::Category::keys, "key press event handler install result: 0");
            diag::printLine(diag::Category::keys, "key release event handler install result: 0");
        }
    }

    if (monitor_ && monitor_->preflightListenEventAccess()) {
        observerRunning_ = monitor_->startObserver([this](const ObservedInputEvent& event) { observedInput(event); });
    }
    observerStarted_ = observerRunning_;
}

void KeyEventHandlerManager::removeKeyEventHanlder() {
    diag::printLine(diag::Category::keys, "[[ removeKeyEventHanlder()");
    removeSources();
    setLatestModifierEvent(std::nullopt);
    forgetTap();
    // A release still pending would toggle the window with the leader keys off.
    cancelDelayedKeyUp();
    diag::printLine(diag::Category::keys, "]] removeKeyEventHanlder()");
}

void KeyEventHandlerManager::removeSources() {
    if (observerRunning_) {
        observerRunning_ = false;
        if (monitor_) monitor_->stopObserver();
    }
    if (hotKeyHandlersInstalled_) {
        hotKeyHandlersInstalled_ = false;
        // Its release will not be reported any more.
        hotKeyHeld_ = false;
        if (auto* registrar = HotKeyManager::shared().registrar()) registrar->setHandlers(nullptr, nullptr);
    }
    if (globalEventMonitor_) {
        if (monitor_) monitor_->removeMonitor(*globalEventMonitor_);
        globalEventMonitor_.reset();
    }
    if (localEventMonitor_) {
        if (monitor_) monitor_->removeMonitor(*localEventMonitor_);
        localEventMonitor_.reset();
    }
}

std::optional<KeyboardEvent> KeyEventHandlerManager::handleModifierFlagsChangedEvent(const KeyboardEvent& event, Origin origin) {
    printEntryTrace("handleModifierFlagsChangedEvent(_:)", event, origin, latestModifierEvent_, latestModifierEventOrigin_);
    std::optional<KeyboardEvent> result = event;
    const auto finish = [&] {
        setLatestModifierEvent(event, origin);
        diag::printLine(diag::Category::keys, "]] handleModifierFlagsChangedEvent(_:) returned with " + summary(result, origin));
        return result;
    };

    if (!latestModifierEvent_) {
        // The first event after arming only tells which modifiers are down.
        tapSawModifiedInput() = false;
        return finish();
    }
    const KeyboardEvent latest = *latestModifierEvent_;
    const std::uint64_t oldModifiers = latest.modifierFlags & eventFlags::leaderModifiers;
    const std::uint64_t newModifiers = event.modifierFlags & eventFlags::leaderModifiers;
    const int heldBefore = std::popcount(oldModifiers);

    if (heldBefore == 1 && newModifiers == 0) {
        // The only modifier held has been released.
        const std::uint64_t otherFlagsGained = event.modifierFlags & ~eventFlags::leaderModifiers & ~latest.modifierFlags;
        const double held = event.timestamp - latest.timestamp;
        if (otherFlagsGained != 0 || !(held <= maximumPressAndReleaseInterval())) {
            giveUpOnce = false;
        } else if (giveUpOnce || isHotKeyReleasesModifier(event)) {
            // The second: the modifier was held with a hot key whose release waits, though the
            // monitor missed its use (it was down before the monitor watched, as when a leader
            // key is typed during the start): a combination, not a tap.
            giveUpOnce = false;
            setLatestModifierEvent(std::nullopt);
            return event;
        } else {
            fireSingleModifierLeaderKey(latest.modifierFlags);
            result.reset();
            giveUpOnce = false;
        }
    } else if ((newModifiers != 0 && heldBefore - std::popcount(newModifiers) == 1) ||
               (newModifiers != 0 && newModifiers == oldModifiers &&
                ((event.modifierFlags ^ latest.modifierFlags) & ~eventFlags::leaderModifiers) != 0)) {
        // One of several held modifiers was released while others remain, or Caps Lock (or another
        // flag key) toggled while the modifier is held, also when the toggle arrives as an event of
        // its own: that is a combination, not a tap.
        giveUpOnce = true;
        return finish();
    }
    if (oldModifiers != 0 && newModifiers == 0) tapSawModifiedInput() = false;
    return finish();
}

KeyboardEvent KeyEventHandlerManager::handleKeyDownEvent(const KeyboardEvent& event, Origin origin) {
    const bool traced = origin == Origin::thisProgram;
    if (traced) printEntryTrace("handleKeyDownEvent(_:)", event, origin, latestModifierEvent_, latestModifierEventOrigin_);
    if (event.modifierFlags & eventFlags::leaderModifiers) giveUpOnce = true;
    if (traced) diag::printLine(diag::Category::keys, "]] handleKeyDownEvent(_:)");
    return event;
}

void KeyEventHandlerManager::fireSingleModifierLeaderKey(std::uint64_t modifierFlags) {
    std::uint32_t code = 0;
    if (modifierFlags & eventFlags::command) code = keycodes::command;
    else if (modifierFlags & eventFlags::shift) code = keycodes::shift;
    else if (modifierFlags & eventFlags::option) code = keycodes::option;
    else if (modifierFlags & eventFlags::control) code = keycodes::control;
    else {
        diag::printLine(diag::Category::keys, "");
        return;
    }
    if (auto handler = keyHandler_) handler(code, code, true);
    if (tapSawModifiedInput()) {
        // The modifier was used with other input somewhere: the press stands alone.
        tapSawModifiedInput() = false;
        return;
    }
    scheduleDelayedKeyUp(code, code);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> KeyEventHandlerManager::hotKeyID(std::uint32_t identifier) const {
    // The registrar reports only identifiers this process registered with it, so every one
    // carries this program's signature; what is left to check is that it is still registered.
    const auto& table = HotKeyManager::shared().hotKeysByID;
    const auto found = table.find(identifier);
    if (found == table.end()) {
        diag::printLine(diag::Category::keys, std::to_string(identifier) + " not found");
        return std::nullopt;
    }
    return std::make_pair(found->second.keyCode, found->second.modifiers);
}

void KeyEventHandlerManager::hotKeyPressed(std::uint32_t identifier) {
    const auto combination = hotKeyID(identifier);
    if (!combination) return;
    hotKeyHeld_ = true;
    if (auto handler = keyHandler_) handler(combination->first, combination->second, true);
}

void KeyEventHandlerManager::hotKeyReleased(std::uint32_t identifier) {
    hotKeyHeld_ = false;
    const auto combination = hotKeyID(identifier);
    if (!combination) return;
    scheduleDelayedKeyUp(combination->first, combination->second);
    delayedKeyUpModifiers_ = combination->second;
}

void KeyEventHandlerManager::observedInput(const ObservedInputEvent& event) {
    if (event.modifierFlags & eventFlags::leaderModifiers) tapSawModifiedInput() = true;
    if (!isDelayedKeyUpsOwnKey(event.type == ObservedInputEvent::Type::keyDown, event.keyCode)) cancelDelayedKeyUp();
}

// Another connection to the X server brings the raw key events, and the combination's own presses
// (its key's and its modifiers') may come after its hot-key release was read: they are part of
// the combination, not typing.
bool KeyEventHandlerManager::isDelayedKeyUpsOwnKey(bool keyDown, int keyCode) const {
    return keyDown && delayedKeyUpTimer_ && keyCode >= 0 && static_cast<std::uint32_t>(keyCode) == delayedKeyUpKeyCode_;
}

bool KeyEventHandlerManager::isDelayedKeyUpsOwnModifier(const KeyboardEvent& event) const {
    if (!delayedKeyUpTimer_ || event.type != KeyboardEvent::Type::flagsChanged) return false;
    const auto bits = modifierBits(event.keyCode);
    return bits && (event.modifierFlags & bits->flag) && (delayedKeyUpModifiers_ & bits->carbon);
}

bool KeyEventHandlerManager::isHotKeyReleasesModifier(const KeyboardEvent& event) const {
    const auto bits = modifierBits(event.keyCode);
    return delayedKeyUpTimer_ && bits && (delayedKeyUpModifiers_ & bits->carbon);
}

void KeyEventHandlerManager::reset() {
    removeSources();
    observerStarted_ = false;
    cancelDelayedKeyUp();
    keyHandler_ = nullptr;
    forgetTap();
}

void KeyEventHandlerManager::forgetTap() {
    // A combination typed before the leader keys were registered again (Ctrl+S of a save) ends
    // unseen, and must not give up the user's next tap.
    latestModifierEvent_.reset();
    giveUpOnce = false;
    tapSawModifiedInput() = false;
}

void KeyEventHandlerManager::setLatestModifierEvent(std::optional<KeyboardEvent> event, Origin origin) {
    latestModifierEvent_ = std::move(event);
    latestModifierEventOrigin_ = origin;
    diag::printLine(diag::Category::keys, "latestModifierEvent changed to " + summary(latestModifierEvent_, origin));
}

void KeyEventHandlerManager::cancelDelayedKeyUp() {
    if (!delayedKeyUpTimer_) return;
    MainQueue::shared().cancel(*delayedKeyUpTimer_);
    delayedKeyUpTimer_.reset();
}

void KeyEventHandlerManager::scheduleDelayedKeyUp(std::uint32_t keyCode, std::uint32_t modifiers) {
    // Only the latest release may fire: one left pending could toggle the window a second time.
    cancelDelayedKeyUp();
    delayedKeyUpKeyCode_ = keyCode;
    delayedKeyUpModifiers_ = 0;
    delayedKeyUpTimer_ = MainQueue::shared().postAfter(delayedKeyUpInterval, [this, keyCode, modifiers] {
        delayedKeyUpTimer_.reset();
        if (auto handler = keyHandler_) handler(keyCode, modifiers, false);
    });
}

} // namespace tavlin
