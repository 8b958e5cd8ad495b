#pragma once

#include <optional>

#include <QString>

#include "shortcutkit/MenuMatching.h"

class QMenuBar;
class QKeyCombination;

namespace tavlin::shortcutkit {

// The key equivalent of a key combination: the lower-case character of the key, the
// function-key character of F1 to F20, empty for other keys; the modifiers as event flags.
std::string keyEquivalentText(QKeyCombination combination);

// The bar's menus and items as the menu search sees them; an item's key equivalent comes from
// the first combination of its shortcut. Titles lose their mnemonic markers.
Menu menuModel(const QMenuBar& menuBar);

// The title of the first item of the main menu (qt::mainMenu) that uses the shortcut; nothing
// when none does or no main menu is set.
std::optional<QString> mainMenuItemUsing(const Shortcut& shortcut);

} // namespace tavlin::shortcutkit
