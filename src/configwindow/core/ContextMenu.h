#pragma once

#include <optional>
#include <string>
#include <vector>

#include "configwindow/core/CommandKind.h"
#include "configwindow/core/Selection.h"

namespace tavlin {

// One entry of the tree's context menu: a header naming what the menu acts on, a divider, or a
// command (always enabled; the deletes are marked destructive).
struct ContextMenuEntry {
    enum class Type { header, divider, command };
    Type type = Type::divider;
    std::string title;
    CommandKind kind = CommandKind::addRootAction;
    bool destructive = false;
    friend bool operator==(const ContextMenuEntry&, const ContextMenuEntry&) = default;
};

// The menu for the selection: the root's two commands, an action's four, or a chance's six.
std::vector<ContextMenuEntry> contextMenuEntries(const std::optional<SelectedActionOrChanceRow>& selection);

} // namespace tavlin
