#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shortcutkit/Keys.h"

namespace tavlin::shortcutkit {

struct Menu;

// What the menu search needs of a menu item: its title, key equivalent (a character; upper case
// means shift) with the modifier mask as event flags, and its submenu.
struct MenuItem {
    std::string title;
    std::string keyEquivalent;
    std::uint64_t keyEquivalentModifierMask = 0;
    std::shared_ptr<Menu> submenu;
};

struct Menu {
    std::vector<MenuItem> items;
};

// The first item, depth first, whose key equivalent is the shortcut; null when none is.
const MenuItem* itemMatching(const Menu& menu, const Shortcut& shortcut);

} // namespace tavlin::shortcutkit
