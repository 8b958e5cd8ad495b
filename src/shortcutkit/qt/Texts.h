#pragma once

#include <QString>

namespace tavlin::shortcutkit {

// The recorder's texts by key ("record_shortcut", "press_shortcut",
// "keyboard_shortcut_used_by_menu_item" with %1 for the item's title,
// "keyboard_shortcut_used_by_system", "keyboard_shortcuts_can_be_changed"); the key itself for
// an unknown key.
QString localizedText(const char* key);

} // namespace tavlin::shortcutkit
