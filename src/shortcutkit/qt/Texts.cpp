#include "shortcutkit/qt/Texts.h"

#include <cstring>

namespace tavlin::shortcutkit {

QString localizedText(const char* key) {
    static const struct {
        const char* key;
        const char* text;
    } texts[] = {
        {"record_shortcut", "Click to record shortcut"},
        {"press_shortcut", "Press the shortcut\u2026"},
        {"keyboard_shortcut_used_by_menu_item", "The menu item \u201c%1\u201d already uses this shortcut."},
        {"keyboard_shortcut_used_by_system", "Another program or the desktop already uses this shortcut."},
        {"keyboard_shortcuts_can_be_changed",
         "Choose another combination, or free this one in your desktop's keyboard settings."},
    };
    for (const auto& entry : texts)
        if (std::strcmp(entry.key, key) == 0) return QString::fromUtf8(entry.text);
    return QString::fromUtf8(key);
}

} // namespace tavlin::shortcutkit
