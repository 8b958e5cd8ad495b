#include "engine/LeaderKeys.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "engine/HotKeyManager.h"
#include "engine/InputWindowManager.h"
#include "engine/KeyEventHandler.h"
#include "model/Configuration.h"
#include "model/LeaderKey.h"
#include "model/LeaderKeyCache.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/Uuid.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/UserNotifications.h"
#include "platform/keys/VirtualKeyCodes.h"

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
        diag::printLine(diag::Category::keys, "");
        return {};
    }
    std::vector<HotKey> keys;
    for (const auto& hotKey : configuration->hotKeys) {
        if (hotKey.singleModifierInfo()) keys.push_back(hotKey);
    }
    cache = keys;
    return keys;
}

struct LeaderKeyState {
    // The last reload armed the leader keys and nothing switched them off since.
    bool armed = false;
    // The active application is on the disabled list: the leader keys are left to it.
    bool released = false;
    std::optional<RunningApplication> activeApplication;
    // The refused combinations the user has been told of in this run.
    std::set<std::pair<std::uint32_t, std::uint32_t>> toldRefused;
};

LeaderKeyState& state() {
    static LeaderKeyState leaderKeyState;
    return leaderKeyState;
}

// Once per combination and run: the key does nothing, and the user would not know why.
void tellRefused(std::uint32_t keyCode, std::uint32_t modifiers, std::int32_t status) {
    if (!UserNotificationCenter::hasCurrent() || !state().toldRefused.insert({keyCode, modifiers}).second) return;
    const std::string title = "The leader key " + leaderKeyDisplayName(keyCode, modifiers) + " cannot be used";
    const std::string reason = status == HotKeyRegistrar::Registration::heldByAnotherProgram
                                   ? "Another program already uses this key combination."
                                   : "The window system refused this key combination.";
    UserNotificationCenter::current().requestAuthorization([title, reason](bool) {
        // Without a notification server the banner shows nowhere: the output says it instead.
        UserNotificationCenter::current().addOrReport({Uuid::random().string(), title, reason, false}, [title, reason] {
            diag::printLine(diag::Category::keys, "tavlin: " + title + ": " + reason);
        });
    });
}

void applyRelease(bool released) {
    if (state().released == released) return;
    state().released = released;
    if (!state().armed) return;
    if (!released) {
        reloadLeaderKeys(false);
        return;
    }
    HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();
}

} // namespace

bool isDisabledApplication(const RunningApplication& application, const std::vector<std::string>& disabledPaths) {
    const auto same = [](const std::optional<std::string>& path, const std::string& listed) {
        return path && !path->empty() &&
               std::filesystem::path(*path).lexically_normal() == std::filesystem::path(listed).lexically_normal();
    };
    for (const auto& listed : disabledPaths) {
        if (same(application.bundlePath, listed) || same(application.executablePath, listed)) return true;
    }
    return false;
}

void leaderKeysFollowActiveApplication(const std::optional<RunningApplication>& application) {
    state().activeApplication = application;
    leaderKeysFollowDisabledApplications();
}

void leaderKeysFollowDisabledApplications() {
    const auto& application = state().activeApplication;
    applyRelease(application && isDisabledApplication(*application, settings::disabledApplications()));
}

std::string leaderKeyDisplayName(std::uint32_t keyCode, std::uint32_t modifiers) {
    return shownText(HotKey::combo(keyCode, modifiers));
}

bool leaderKeysReleasedForActiveApplication() { return state().released; }

bool isArmedSingleModifierLeaderKey(HotKey::SingleTapModifier modifier) {
    if (!state().armed || state().released) return false;
    const auto keys = singleModifierLeaderKeys();
    return std::any_of(keys.begin(), keys.end(),
                       [modifier](const HotKey& key) { return key.singleModifierInfo()->singleTapModifier == modifier; });
}

void resetLeaderKeyState() { state() = {}; }

void reloadLeaderKeys(bool skipHotKeys) {
    if (!skipHotKeys) HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();

    const auto loaded = Configuration::loadOrCreate(Configuration::ifMissing);
    if (!loaded.hasValue()) {
        state().armed = false;
        showAlert("Invalid configuration file", loaded.errorDescription());
        return;
    }
    InputWindowManager::shared().windowEventHandler = handleInputWindowEvent;
    state().armed = true;
    if (state().released) return;
    KeyEventHandlerManager::shared().addKeyEventHandler(skipHotKeys, handleLeaderKeyEvent);
    if (skipHotKeys) return;
    for (const auto& hotKey : loaded.value()->hotKeys) {
        const auto* combo = hotKey.comboInfo();
        if (!combo) continue;
        const auto registration = HotKeyManager::shared().registerHotKey(combo->keyCode, combo->modifiersCode);
        if (registration.reference == 0 && HotKeyManager::shared().registrar())
            tellRefused(combo->keyCode, combo->modifiersCode, registration.status);
    }
}

void unregisterAllLeaderKeys() {
    state().armed = false;
    HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();
}

void handleLeaderKeyEvent(std::uint32_t keyCode, std::uint32_t modifiers, bool keyDown) {
    if (HotKeyManager::shared().isRegistered(keyCode, modifiers)) {
        currentLeaderKey() = HotKey::combo(keyCode, modifiers);
    } else {
        const auto modifier = singleTapModifier(modifiers);
        if (!modifier) {
            diag::printLine(diag::Category::keys, "");
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
