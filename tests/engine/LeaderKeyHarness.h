#pragma once

// The leader-key machinery on simulated time: stand-ins for the desktop's hot keys and keyboard
// observation, driven by the tests, installed over the engine harness.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "EngineHarness.h"
#include "engine/HotKeyManager.h"
#include "engine/KeyEventHandler.h"
#include "engine/LeaderKeys.h"
#include "platform/keys/KeyboardEvents.h"

namespace tavlin::test {

class FakeHotKeyRegistrar : public HotKeyRegistrar {
public:
    struct Grab {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::uint32_t identifier;
    };

    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t identifier) override {
        identifiersSeen.push_back(identifier);
        if (heldByAnotherProgram.count({keyCode, modifiers})) return {-9878, 0};
        if (failureStatus) return {*failureStatus, 0};
        const Reference reference = nextReference++;
        grabs[reference] = {keyCode, modifiers, identifier};
        return {0, reference};
    }
    void unregisterHotKey(Reference reference) override {
        if (grabs.erase(reference) == 0) ++unknownUnregistrations;
        unregistered.push_back(reference);
    }
    void setHandlers(Handler pressedHandler, Handler releasedHandler) override {
        pressed = std::move(pressedHandler);
        released = std::move(releasedHandler);
    }

    // The user presses or releases a combination: answers whether a handler heard of it.
    bool press(std::uint32_t keyCode, std::uint32_t modifiers) { return deliver(pressed, keyCode, modifiers); }
    bool release(std::uint32_t keyCode, std::uint32_t modifiers) { return deliver(released, keyCode, modifiers); }
    bool handlersInstalled() const { return pressed && released; }

    std::set<std::pair<std::uint32_t, std::uint32_t>> heldByAnotherProgram;
    std::optional<std::int32_t> failureStatus;
    std::map<Reference, Grab> grabs;
    std::vector<Reference> unregistered;
    std::vector<std::uint32_t> identifiersSeen;
    int unknownUnregistrations = 0;
    Handler pressed;
    Handler released;

private:
    bool deliver(const Handler& handler, std::uint32_t keyCode, std::uint32_t modifiers) {
        if (!handler) return false;
        for (const auto& [reference, grab] : grabs) {
            if (grab.keyCode == keyCode && grab.modifiers == modifiers) {
                handler(grab.identifier);
                return true;
            }
        }
        return false;
    }
    Reference nextReference = 1000;
};

class FakeKeyboardEventMonitor : public KeyboardEventMonitor {
public:
    Token addLocalMonitor(LocalHandler handler) override {
        locals[nextToken] = std::move(handler);
        return nextToken++;
    }
    Token addGlobalMonitor(GlobalHandler handler) override {
        globals[nextToken] = std::move(handler);
        return nextToken++;
    }
    void removeMonitor(Token token) override {
        if (locals.erase(token) + globals.erase(token) == 0) ++unknownRemovals;
    }
    bool preflightListenEventAccess() override { return accessGranted; }
    bool startObserver(ObserverHandler handler) override {
        ++observerStarts;
        if (!observerCanStart) return false;
        observer = std::move(handler);
        return true;
    }
    void stopObserver() override { observer = nullptr; }

    // An event sent to this program: what the local monitors pass on (the event itself when
    // none is installed).
    std::optional<KeyboardEvent> sendLocal(const KeyboardEvent& event) {
        std::optional<KeyboardEvent> passed = event;
        for (const auto& [token, handler] : copy(locals)) {
            if (passed) passed = handler(*passed);
        }
        return passed;
    }
    // An event sent to another program.
    void sendGlobal(const KeyboardEvent& event) {
        for (const auto& [token, handler] : copy(globals)) handler(event);
    }
    // Input anywhere, as the observer sees it.
    void observe(const ObservedInputEvent& event) {
        if (auto handler = observer) handler(event);
    }

    bool accessGranted = true;
    bool observerCanStart = true;
    int observerStarts = 0;
    int unknownRemovals = 0;
    std::map<Token, LocalHandler> locals;
    std::map<Token, GlobalHandler> globals;
    ObserverHandler observer;

private:
    template <typename Map>
    static Map copy(const Map& map) {
        return map;
    }
    Token nextToken = 1;
};

// The shared hot-key and key-event managers over the fakes, with a fresh state per test.
// What the leader-key callback received: key code, modifiers, pressed.
using Call = std::tuple<std::uint32_t, std::uint32_t, bool>;

class LeaderKeyTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        HotKeyManager::shared().setRegistrar(&registrar);
        KeyEventHandlerManager::shared().reset();
        KeyEventHandlerManager::shared().setMonitor(&monitor);
        resetLeaderKeyState();
    }

    void TearDown() override {
        KeyEventHandlerManager::shared().reset();
        KeyEventHandlerManager::shared().setMonitor(nullptr);
        HotKeyManager::shared().setRegistrar(nullptr);
        resetLeaderKeyState();
        EngineTest::TearDown();
    }

    static KeyEventHandlerManager& handlerManager() { return KeyEventHandlerManager::shared(); }

    // Arms the handler with a callback that records what it receives.
    void armRecording(bool skipHotKeys = false) {
        handlerManager().removeKeyEventHanlder();
        handlerManager().addKeyEventHandler(skipHotKeys, [this](std::uint32_t keyCode, std::uint32_t modifiers, bool keyDown) {
            calls.emplace_back(keyCode, modifiers, keyDown);
        });
    }

    KeyboardEvent flagsChanged(std::uint64_t flags, int keyCode = 55) const {
        return {KeyboardEvent::Type::flagsChanged, keyCode, flags, queue.now()};
    }
    KeyboardEvent keyDown(int keyCode, std::uint64_t flags) const {
        return {KeyboardEvent::Type::keyDown, keyCode, flags, queue.now()};
    }

    // A modifier pressed and released alone in this program, held for `seconds`; answers what
    // the local monitor passed on of the release.
    std::optional<KeyboardEvent> tapLocally(std::uint64_t modifier, int keyCode, double seconds) {
        monitor.sendLocal(flagsChanged(modifier, keyCode));
        queue.advance(seconds);
        return monitor.sendLocal(flagsChanged(0, keyCode));
    }
    // The same while another application has the keyboard.
    void tapGlobally(std::uint64_t modifier, int keyCode, double seconds) {
        monitor.sendGlobal(flagsChanged(modifier, keyCode));
        queue.advance(seconds);
        monitor.sendGlobal(flagsChanged(0, keyCode));
    }

    FakeHotKeyRegistrar registrar;
    FakeKeyboardEventMonitor monitor;
    std::vector<Call> calls;
};

} // namespace tavlin::test
