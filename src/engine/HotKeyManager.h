#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/keys/KeyboardEvents.h"

namespace tavlin {

// The system-wide hot keys of this program: the combination leader keys. It registers them with
// the desktop's registrar, remembers which identifier stands for which combination, and forgets
// a hot key exactly when it is unregistered, so no reference is ever unregistered twice.
// Main thread only.
class HotKeyManager {
public:
    struct HotKey {
        std::uint32_t keyCode = 0;                  // virtual key code
        std::uint32_t modifiers = 0;                // Carbon modifier mask
        HotKeyRegistrar::Reference eventHotKey = 0; // never 0 in a stored record
    };

    static HotKeyManager& shared();

    // A separate manager with its own identifiers (the program itself uses only the shared one).
    HotKeyManager() = default;
    // Unregisters every hot key it still holds.
    ~HotKeyManager();
    HotKeyManager(const HotKeyManager&) = delete;
    HotKeyManager& operator=(const HotKeyManager&) = delete;

    // The hot keys it holds belong to the registrar that made them: replacing the registrar
    // unregisters them first. The application clears it before destroying the registrar.
    void setRegistrar(HotKeyRegistrar* registrar);
    HotKeyRegistrar* registrar() const { return registrar_; }

    // The hot keys registered now, by identifier.
    std::map<std::uint32_t, HotKey> hotKeysByID;

    // Registers the combination under a fresh identifier. A refusal is printed and answered
    // (reference 0): the combination then does not work, and its identifier stays used.
    HotKeyRegistrar::Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
    bool isRegistered(std::uint32_t keyCode, std::uint32_t modifiers) const;
    // The reference of a hot key of exactly this combination.
    std::optional<HotKeyRegistrar::Reference> eventHotKey(std::uint32_t keyCode, std::uint32_t modifiers) const;
    // Unregisters every hot key and empties the table.
    void unregisterAll();
    // Unregisters the hot key that eventHotKey finds for the combination; false when none.
    bool unregisterHotKey(std::uint32_t keyCode, std::uint32_t modifiers);

    // The four-character code that marks this program's hot keys ("QRTX"), made once per process.
    static std::uint32_t hotKeySignature();
    // The identifier the last registration attempt used (0 before the first).
    std::uint32_t lastHotKeyID() const { return nextHotKeyID_; }

private:
    HotKeyRegistrar* registrar_ = nullptr;
    std::uint32_t nextHotKeyID_ = 0;
};

// The references of all hot keys of the table, for unregistering them.
std::vector<HotKeyRegistrar::Reference> eventHotKeys(const std::map<std::uint32_t, HotKeyManager::HotKey>& hotKeysByID);

} // namespace tavlin
