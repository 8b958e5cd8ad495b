#include "shortcutkit/MenuMatching.h"

#include <optional>

#include "platform/keys/KeyboardEvents.h"
#include "platform/text/Unicode.h"

namespace tavlin::shortcutkit {
namespace {

bool matches(const MenuItem& item, const Shortcut& shortcut, const std::optional<std::string>& keyText) {
    std::string equivalent = item.keyEquivalent;
    std::uint64_t mask = item.keyEquivalentModifierMask;
    // An upper-case key equivalent stands for shift.
    if (shortcut.carbonModifiers & carbon::shift) {
        const std::string lower = unicode::lowercased(equivalent);
        if (lower != equivalent) {
            equivalent = lower;
            mask |= eventFlags::shift;
        }
    }
    if (!keyText || *keyText != equivalent) return false;
    return mask == shortcut.modifiers();
}

const MenuItem* search(const Menu& menu, const Shortcut& shortcut, const std::optional<std::string>& keyText) {
    for (const auto& item : menu.items) {
        if (matches(item, shortcut, keyText)) return &item;
        if (item.submenu)
            if (const MenuItem* found = search(*item.submenu, shortcut, keyText)) return found;
    }
    return nullptr;
}

} // namespace

const MenuItem* itemMatching(const Menu& menu, const Shortcut& shortcut) {
    // The key text is looked up once: the layout does not change during a search.
    return search(menu, shortcut, shortcut.keyToCharacter());
}

} // namespace tavlin::shortcutkit
