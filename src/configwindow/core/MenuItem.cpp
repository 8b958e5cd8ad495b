#include "configwindow/core/MenuItem.h"

#include <initializer_list>

namespace tavlin {
namespace {

std::vector<MenuItem> layout(std::initializer_list<CommandKind> available) {
    std::vector<MenuItem> items;
    for (const auto& entry : allCommandKindOrSeparatorItems()) {
        if (const auto* kind = std::get_if<CommandKind>(&entry)) {
            bool isAvailable = false;
            for (const CommandKind candidate : available) isAvailable = isAvailable || candidate == *kind;
            items.push_back(MenuItem::command(*kind, isAvailable));
        } else {
            items.push_back(MenuItem::separator());
        }
    }
    return items;
}

} // namespace

const std::vector<MenuItem>& rootMenuItems() {
    using K = CommandKind;
    static const auto items = layout({K::addRootAction, K::addRootChance, K::sortAllByChance});
    return items;
}

const std::vector<MenuItem>& actionMenuItems() {
    using K = CommandKind;
    static const auto items = layout({K::addRootAction, K::addRootChance, K::addActionAbove, K::editAction, K::addActionBelow,
                                      K::deleteAction, K::sortAllByChance});
    return items;
}

const std::vector<MenuItem>& chanceMenuItems() {
    using K = CommandKind;
    static const auto items = layout({K::addRootAction, K::addRootChance, K::addChanceAbove, K::editPattern, K::addChanceBelow,
                                      K::deleteChance, K::addChildAction, K::addChildChance, K::sortAllByChance});
    return items;
}

const std::vector<MenuItem>& nodeEditMenuItems(const std::optional<SelectedActionOrChanceRow>& selection) {
    if (!selection) return rootMenuItems();
    return selection->action() ? actionMenuItems() : chanceMenuItems();
}

} // namespace tavlin
