#pragma once

#include <optional>
#include <string>
#include <vector>

#include "configwindow/core/CommandKind.h"
#include "configwindow/core/Selection.h"

namespace tavlin {

// One entry of the node-edit menu: a divider, or a command that is enabled when available.
struct MenuItem {
    bool isSeparator = false;
    std::string title;
    CommandKind kind = CommandKind::addRootAction;
    bool available = false;

    static MenuItem separator() { return MenuItem{true, {}, CommandKind::addRootAction, false}; }
    static MenuItem command(CommandKind kind, bool available) {
        return MenuItem{false, std::string(rawValue(kind)), kind, available};
    }
    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

// The seventeen entries in their fixed order; which commands are enabled depends only on the
// kind of row selected, never on the tree.
const std::vector<MenuItem>& rootMenuItems();
const std::vector<MenuItem>& actionMenuItems();
const std::vector<MenuItem>& chanceMenuItems();
const std::vector<MenuItem>& nodeEditMenuItems(const std::optional<SelectedActionOrChanceRow>& selection);

} // namespace tavlin
