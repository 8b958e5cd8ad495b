#include "shortcutkit/CarbonShortcutTable.h"

#include <limits>
#include <string>
#include <vector>

#include "platform/base/Diagnostics.h"
#include "shortcutkit/Handlers.h"

namespace tavlin::shortcutkit::CarbonShortcutTable {
namespace {

std::map<std::int64_t, HotKey>& table() {
    static std::map<std::int64_t, HotKey> hotKeys;
    return hotKeys;
}

HotKeyRegistrar*& currentRegistrar() {
    static HotKeyRegistrar* registrar = nullptr;
    return registrar;
}

std::int64_t lastHotKeyId = 0;

// The registrar speaks 32-bit key codes and masks: beyond them there is no key.
bool fitsRegistrar(const Shortcut& shortcut) {
    return shortcut.carbonKeyCode >= 0 && shortcut.carbonKeyCode <= std::numeric_limits<std::int32_t>::max();
}

void report(std::uint32_t identifier, bool pressed) {
    const auto found = table().find(identifier);
    if (found == table().end()) return;
    // Copies: the callbacks may change the table.
    const Shortcut shortcut = found->second.shortcut;
    const auto callback = pressed ? found->second.onKeyDown : found->second.onKeyUp;
    if (callback) callback(shortcut);
}

void installHandlers(HotKeyRegistrar* registrar) {
    if (!registrar) return;
    registrar->setHandlers([](std::uint32_t identifier) { report(identifier, true); },
                           [](std::uint32_t identifier) { report(identifier, false); });
}

void registerShortcut(const Shortcut& shortcut) {
    auto* registrar = currentRegistrar();
    if (!registrar) return;
    const std::string text = "shortcut key code " + std::to_string(shortcut.carbonKeyCode) + " with modifiers " +
                             std::to_string(shortcut.carbonModifiers);
    if (!fitsRegistrar(shortcut)) {
        diag::printLine(diag::Category::keys, "cannot register " + text + ": no such key");
        return;
    }
    if (lastHotKeyId == std::numeric_limits<std::uint32_t>::max()) {
        diag::printLine(diag::Category::keys, "cannot register " + text + ": no hot-key identifier left");
        return;
    }
    const std::int64_t identifier = ++lastHotKeyId;
    const auto registration = registrar->registerHotKey(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                                                        static_cast<std::uint32_t>(shortcut.carbonModifiers),
                                                        static_cast<std::uint32_t>(identifier));
    if (registration.status != 0 || registration.reference == 0) {
        diag::printLine(diag::Category::keys, "cannot register " + text + ": status " + std::to_string(registration.status));
        return;
    }
    table().emplace(identifier, HotKey{shortcut, identifier, registration.reference,
                                       [](const Shortcut& s) { detail::dispatch(s, EventType::keyDown); },
                                       [](const Shortcut& s) { detail::dispatch(s, EventType::keyUp); }});
}

} // namespace

const std::map<std::int64_t, HotKey>& hotKeys() { return table(); }

HotKeyRegistrar* registrar() { return currentRegistrar(); }

void setRegistrar(HotKeyRegistrar* registrar) {
    auto*& current = currentRegistrar();
    if (registrar == current) return;
    const auto old = std::move(table());
    table().clear();
    if (current) {
        for (const auto& [identifier, hotKey] : old) current->unregisterHotKey(hotKey.carbonHotKey);
        current->setHandlers(nullptr, nullptr);
    }
    current = registrar;
    installHandlers(current);
    synchronize();
}

void unregister(const Shortcut& shortcut) {
    std::vector<HotKeyRegistrar::Reference> references;
    for (auto it = table().begin(); it != table().end();) {
        if (it->second.shortcut == shortcut) {
            references.push_back(it->second.carbonHotKey);
            it = table().erase(it);
        } else {
            ++it;
        }
    }
    if (auto* registrar = currentRegistrar())
        for (const auto reference : references) registrar->unregisterHotKey(reference);
}

void synchronize() {
    const auto inUse = detail::shortcutsInUse();
    std::unordered_set<Shortcut, ShortcutHash> registered, unused;
    for (const auto& [identifier, hotKey] : table()) {
        if (inUse.count(hotKey.shortcut)) registered.insert(hotKey.shortcut);
        else unused.insert(hotKey.shortcut);
    }
    for (const auto& shortcut : unused) unregister(shortcut);
    for (const auto& shortcut : inUse) {
        if (!registered.count(shortcut)) registerShortcut(shortcut);
    }
}

bool isHeldByAnotherProgram(const Shortcut& shortcut) {
    auto* registrar = currentRegistrar();
    if (!registrar || !fitsRegistrar(shortcut)) return false;
    return registrar->isHeldByAnotherProgram(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                                             static_cast<std::uint32_t>(shortcut.carbonModifiers));
}

} // namespace tavlin::shortcutkit::CarbonShortcutTable
