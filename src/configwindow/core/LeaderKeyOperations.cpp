#include "configwindow/core/LeaderKeyOperations.h"

#include "platform/base/Diagnostics.h"

namespace tavlin {

void replaceLeaderHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, const std::optional<HotKey>& hotKey) {
    const auto configuration = model.configuration();
    if (!configuration) return;
    model.applyChange([&] {
        manager.unregisterAll();
        configuration->hotKeys.clear();
        if (!hotKey) return;
        configuration->hotKeys.push_back(*hotKey);
        if (const auto* combo = hotKey->comboInfo()) manager.registerHotKey(combo->keyCode, combo->modifiersCode);
    });
}

void addHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, const HotKey& hotKey) {
    const auto configuration = model.configuration();
    if (!configuration) return;
    // A refused change registered the file's leader keys instead.
    if (!model.applyChange([&] { configuration->hotKeys.push_back(hotKey); })) return;
    if (const auto* combo = hotKey.comboInfo()) manager.registerHotKey(combo->keyCode, combo->modifiersCode);
}

void removeHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, std::size_t index, const HotKey& hotKey) {
    const auto configuration = model.configuration();
    if (!configuration) return;
    if (index >= configuration->hotKeys.size() || !(configuration->hotKeys[index] == hotKey)) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    if (!model.applyChange(
            [&] { configuration->hotKeys.erase(configuration->hotKeys.begin() + static_cast<std::ptrdiff_t>(index)); }))
        return;
    const auto* combo = hotKey.comboInfo();
    if (combo && !manager.unregisterHotKey(combo->keyCode, combo->modifiersCode)) diag::printLine(diag::Category::editor, "");
}

} // namespace tavlin
