#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/desktop/NotificationCenter.h"
#include "shortcutkit/Name.h"

// Named shortcuts in the standard user-defaults suite: under "ShortcutKit_" + name, the
// shortcut as a compact JSON text, or false when the user removed a name's default shortcut.
// Every change is announced on the local notification centre. Main thread only.
namespace tavlin::shortcutkit {

// Posted on NotificationCenter::local() after a name's shortcut changed; the user info holds
// the Name.
inline constexpr const char* shortcutByNameDidChange = "ShortcutKit_shortcutByNameDidChange";
// The Name a change notification carries, if it carries one.
const Name* changedName(const Notification& notification);

// The user-defaults key of a name.
std::string storageKey(const Name& name);

// The compact JSON text of a shortcut ({"carbonKeyCode":K,"carbonModifiers":M}).
std::string encodeShortcut(const Shortcut& shortcut);
// A shortcut from any JSON object with both keys as integers; nothing otherwise. The mask keeps
// only the four modifier bits.
std::optional<Shortcut> decodeShortcut(const std::string& text);

// The stored shortcut; nothing when none is stored, false is stored, or it cannot be read.
std::optional<Shortcut> userDefaultsGet(const Name& name);
// Stores a shortcut, replacing the name's old one, and announces it.
void userDefaultsStore(const Shortcut& shortcut, const Name& name);
// Stores a shortcut or clears the name's (false when it has a default), and announces it.
void userDefaultsSet(const std::optional<Shortcut>& shortcut, const Name& name);

std::optional<Shortcut> getShortcut(const Name& name);
void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name);
// Gives each name its default again, in order.
void reset(const std::vector<Name>& names);
void reset(std::initializer_list<Name> names);
void postShortcutByNameDidChange(const Name& name);

// Shortcuts marked as in use by names with handlers or streams (bookkeeping only: it grabs
// nothing).
std::unordered_set<Shortcut, ShortcutHash>& registeredShortcuts();

} // namespace tavlin::shortcutkit
