#include "engine/HotKeyManager.h"

#include <limits>
#include <string>

#include "platform/base/Diagnostics.h"

namespace tavlin {

HotKeyManager& HotKeyManager::shared() {
    static HotKeyManager manager;
    return manager;
}

HotKeyManager::~HotKeyManager() { unregisterAll(); }

void HotKeyManager::setRegistrar(HotKeyRegistrar* registrar) {
    if (registrar == registrar_) return;
    unregisterAll();
    registrar_ = registrar;
}

std::uint32_t HotKeyManager::hotKeySignature() {
    static const std::uint32_t signature = [] {
        std::uint32_t code = 0;
        for (const char c : std::string("QRTX")) code = (code << 8) | static_cast<unsigned char>(c);
        return code;
    }();
    return signature;
}

HotKeyRegistrar::Registration HotKeyManager::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers) {
    // An identifier is never used twice: once they are all used up, nothing more registers.
    if (nextHotKeyID_ == std::numeric_limits<std::uint32_t>::max()) {
        diag::printLine(diag::Category::keys, "failed to register (" + std::to_string(keyCode) + ")");
        diag::printLine(diag::Category::keys, "unexpected error while registering hot keys: no hot-key identifier left");
        return {-1, 0};
    }
    const std::uint32_t identifier = ++nextHotKeyID_;
    HotKeyRegistrar::Registration registration;
    if (registrar_) registration = registrar_->registerHotKey(keyCode, modifiers, identifier);
    if (registration.reference != 0) {
        hotKeysByID[identifier] = HotKey{keyCode, modifiers, registration.reference};
        return registration;
    }
    diag::printLine(diag::Category::keys, "failed to register (" + std::to_string(keyCode) + ")");
    if (registration.status == HotKeyRegistrar::Registration::heldByAnotherProgram) {
        diag::printLine(diag::Category::keys,
                        "another process has already registered the same hotkey using the kEventHotKeyExclusive option");
    } else {
        diag::printLine(diag::Category::keys,
                        "unexpected error while registering hot keys: " + std::to_string(registration.status));
    }
    registration.reference = 0;
    return registration;
}

bool HotKeyManager::isRegistered(std::uint32_t keyCode, std::uint32_t modifiers) const {
    return eventHotKey(keyCode, modifiers).has_value();
}

std::optional<HotKeyRegistrar::Reference> HotKeyManager::eventHotKey(std::uint32_t keyCode, std::uint32_t modifiers) const {
    for (const auto& [identifier, hotKey] : hotKeysByID) {
        if (hotKey.keyCode == keyCode && hotKey.modifiers == modifiers) return hotKey.eventHotKey;
    }
    return std::nullopt;
}

void HotKeyManager::unregisterAll() {
    // The table is emptied before the registrar is called, so nothing can reach a record twice.
    const auto references = eventHotKeys(hotKeysByID);
    hotKeysByID.clear();
    if (!registrar_) return;
    for (const auto reference : references) registrar_->unregisterHotKey(reference);
}

bool HotKeyManager::unregisterHotKey(std::uint32_t keyCode, std::uint32_t modifiers) {
    for (auto it = hotKeysByID.begin(); it != hotKeysByID.end(); ++it) {
        if (it->second.keyCode == keyCode && it->second.modifiers == modifiers) {
            const auto reference = it->second.eventHotKey;
            hotKeysByID.erase(it);
            if (registrar_) registrar_->unregisterHotKey(reference);
            return true;
        }
    }
    return false;
}

std::vector<HotKeyRegistrar::Reference> eventHotKeys(const std::map<std::uint32_t, HotKeyManager::HotKey>& hotKeysByID) {
    std::vector<HotKeyRegistrar::Reference> references;
    references.reserve(hotKeysByID.size());
    for (const auto& [identifier, hotKey] : hotKeysByID) references.push_back(hotKey.eventHotKey);
    return references;
}

} // namespace tavlin
