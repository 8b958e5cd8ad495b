#pragma once

// A hot-key registrar that grabs nothing: it records what is registered, refuses what the test
// says another program holds, and lets the test press and release combinations.

#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "platform/keys/KeyboardEvents.h"

namespace tavlin::test {

class RecordingHotKeyRegistrar : public HotKeyRegistrar {
public:
    struct Grab {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::uint32_t identifier;
    };

    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t identifier) override {
        ++registrations;
        if (heldElsewhere.count({keyCode, modifiers})) return {-9878, 0};
        if (keyCode > 127) return {-50, 0};
        grabs[++lastReference] = {keyCode, modifiers, identifier};
        return {0, lastReference};
    }
    void unregisterHotKey(Reference reference) override { grabs.erase(reference); }
    void setHandlers(Handler pressedHandler, Handler releasedHandler) override {
        pressed = std::move(pressedHandler);
        released = std::move(releasedHandler);
    }
    bool isHeldByAnotherProgram(std::uint32_t keyCode, std::uint32_t modifiers) override {
        ++probes;
        return heldElsewhere.count({keyCode, modifiers}) > 0;
    }

    // Reports a press or release of the combination, as the server reports a grabbed key.
    void press(std::uint32_t keyCode, std::uint32_t modifiers) { deliver(pressed, keyCode, modifiers); }
    void release(std::uint32_t keyCode, std::uint32_t modifiers) { deliver(released, keyCode, modifiers); }
    std::size_t grabsOf(std::uint32_t keyCode, std::uint32_t modifiers) const {
        std::size_t count = 0;
        for (const auto& [reference, grab] : grabs) count += grab.keyCode == keyCode && grab.modifiers == modifiers;
        return count;
    }

    std::set<std::pair<std::uint32_t, std::uint32_t>> heldElsewhere;
    std::map<Reference, Grab> grabs;
    int registrations = 0;
    int probes = 0;
    Handler pressed;
    Handler released;

private:
    void deliver(const Handler& handler, std::uint32_t keyCode, std::uint32_t modifiers) {
        for (const auto& [reference, grab] : grabs) {
            if (grab.keyCode == keyCode && grab.modifiers == modifiers) {
                if (handler) handler(grab.identifier);
                return;
            }
        }
    }
    Reference lastReference = 0;
};

} // namespace tavlin::test
