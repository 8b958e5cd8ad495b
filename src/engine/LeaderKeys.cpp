#include "engine/LeaderKeys.h"

#include <optional>
#include <vector>

#include "engine/HotKeyManager.h"
#include "engine/InputWindowManager.h"
#include "engine/KeyEventHandler.h"
#include "model/Configuration.h"
#include "model/LeaderKeyCache.h"
#include "platform/Alerts.h"
#include "platform/Diagnostics.h"
#include "platform/VirtualKeyCodes.h"

namespace tavlin {
namespace {

std::optional<HotKey::SingleTapModifier> singleTapModifier(std::uint32_t keyCode) {
    switch (keyCode) {
    case keycodes::command: return HotKey::SingleTapModifier::command;
    case keycodes::shift: return HotKey::SingleTapModifier::shift;
    case keycodes::option: return HotKey::SingleTapModifier::option;
    case keycodes::control: return HotKey::SingleTapModifier::control;
    default: return std::nullopt;
    }
}

// The single-modifier leader keys of the file, read once and kept until the file changes (every
// load and write of the configuration clears the cache). An unreadable file counts as none and
// is read again at the next tap.
std::vector<HotKey> singleModifierLeaderKeys() {
    auto& cache = cachedLeaderKeys();
    if (cache) return *cache;
    std::shared_ptr<Configuration> configuration;
    try {
        configuration = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    } catch (...) {
        diag::printLine("");
        return {};
    }
    std::vector<HotKey> keys;
    for (const auto& hotKey : configuration->hotKeys) {
        if (hotKey.singleModifierInfo()) keys.push_back(hotKey);
    }
    cache = keys;
    return keys;
}

} // namespace

void reloadLeaderKeys(bool skipHotKeys) {
    if (!skipHotKeys) HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();

    const auto loaded = Configuration::loadOrCreate(Configuration::ifMissing);
    if (!loaded.hasValue()) {
        showAlert("Invalid configuration file", loaded.errorDescription());
        return;
    }
    InputWindowManager::shared().windowEventHandler = handleInputWindowEvent;
    KeyEventHandlerManager::shared().addKeyEventHandler(skipHotKeys, handleLeaderKeyEvent);
    if (skipHotKeys) return;
    for (const auto& hotKey : loaded.value()->hotKeys) {
        if (const auto* combo = hotKey.comboInfo()) HotKeyManager::shared().registerHotKey(combo->keyCode, combo->modifiersCode);
    }
}

void unregisterAllLeaderKeys() {
    HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();
}

void handleLeaderKeyEvent(std::uint32_t keyCode, std::uint32_t modifiers, bool keyDown) {
    if (HotKeyManager::shared().isRegistered(keyCode, modifiers)) {
        currentLeaderKey() = HotKey::combo(keyCode, modifiers);
    } else {
        const auto modifier = singleTapModifier(modifiers);
        if (!modifier) {
            diag::printLine("");
            return;
        }
        bool configured = false;
        for (const auto& hotKey : singleModifierLeaderKeys()) {
            if (hotKey.singleModifierInfo()->singleTapModifier == *modifier) {
                configured = true;
                break;
            }
        }
        if (!configured) return;
        currentLeaderKey() = HotKey::singleModifier(*modifier);
    }
    if (keyDown) return;

    auto& window = InputWindowManager::shared().inputWindow();
    if (window.isKeyWindow()) {
        window.orderOut();
        return;
    }
    // A changed file is read and decoded now, before the window takes the keyboard; the
    // session's own load then finds it decoded (a failure is reported there).
    try {
        loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    } catch (const std::exception&) {
    }
    window.makeKeyAndOrderFront();
}

} // namespace tavlin
