#pragma once

#include <cstddef>
#include <optional>

#include "configwindow/core/ConfigurationWindowModel.h"
#include "engine/HotKeyManager.h"
#include "model/HotKey.h"

namespace tavlin {

// The window's edits of the leader keys. Each changes the loaded configuration's hot keys through
// the model's change wrapper (so it is saved) and registers or unregisters only the combination
// that changed, always through the manager so its table stays true. Nothing happens while the
// model holds a load error.

// The single editor's change: every hot key is unregistered; then the list holds the new key
// alone (a combination is registered) or nothing.
void replaceLeaderHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, const std::optional<HotKey>& hotKey);
// Appends and saves, then registers a combination.
void addHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, const HotKey& hotKey);
// Removes the entry at `index` when it still is `hotKey`, saves, then unregisters one hot key of a
// combination. A stale position (the list changed meanwhile) removes nothing. Either miss prints
// one empty line.
void removeHotKey(ConfigurationWindowModel& model, HotKeyManager& manager, std::size_t index, const HotKey& hotKey);

} // namespace tavlin
