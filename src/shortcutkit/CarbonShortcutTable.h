#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/keys/KeyboardEvents.h"
#include "shortcutkit/Keys.h"

// The system-wide hot keys of stored shortcuts. The table registers, through a registrar of its
// own (a client of the process's hot-key hub), exactly the shortcuts that names with handlers or
// live streams store, and reports their presses and releases to those names. Main thread only.
namespace tavlin::shortcutkit::CarbonShortcutTable {

struct HotKey {
    Shortcut shortcut;
    std::int64_t carbonHotKeyId = 0;             // its key in the table; never reused
    HotKeyRegistrar::Reference carbonHotKey = 0; // the registrar's reference
    std::function<void(const Shortcut&)> onKeyDown;
    std::function<void(const Shortcut&)> onKeyUp;
};

// The hot keys registered now, by identifier.
const std::map<std::int64_t, HotKey>& hotKeys();

// The registrar hot keys are registered with; replacing it unregisters every hot key from the
// old one first. The application clears it before its registrar closes.
void setRegistrar(HotKeyRegistrar* registrar);
HotKeyRegistrar* registrar();

// Unregisters every hot key of the shortcut; none is no error.
void unregister(const Shortcut& shortcut);

// Brings the table to one hot key per shortcut in use: registers the missing ones (a refusal
// prints one line and leaves no entry) and unregisters the others.
void synchronize();

// Whether another program holds the combination (the registrar's own hot keys do not count).
bool isHeldByAnotherProgram(const Shortcut& shortcut);

} // namespace tavlin::shortcutkit::CarbonShortcutTable
