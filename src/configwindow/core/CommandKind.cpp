#include "configwindow/core/CommandKind.h"

namespace tavlin {

std::string_view rawValue(CommandKind kind) {
    switch (kind) {
    case CommandKind::addRootAction: return "Add Root Action";
    case CommandKind::addRootChance: return "Add Root Chance";
    case CommandKind::addActionAbove: return "Add Action Above";
    case CommandKind::editAction: return "Edit Action";
    case CommandKind::addActionBelow: return "Add Action Below";
    case CommandKind::deleteAction: return "Delete Action";
    case CommandKind::addChanceAbove: return "Add Pattern (Chance) Above";
    case CommandKind::editPattern: return "Edit Pattern";
    case CommandKind::addChanceBelow: return "Add Pattern (Chance) Below";
    case CommandKind::deleteChance: return "Delete Pattern (Chance)";
    case CommandKind::addChildAction: return "Add Child Action";
    case CommandKind::addChildChance: return "Add Child Chance";
    case CommandKind::sortAllByChance: return "Sort All > By Pattern";
    }
    return {};
}

std::optional<CommandKind> commandKindFromRawValue(std::string_view title) {
    for (const CommandKind kind : allCommandKinds)
        if (rawValue(kind) == title) return kind;
    return std::nullopt;
}

const std::array<CommandKindOrSeparator, 17>& allCommandKindOrSeparatorItems() {
    using K = CommandKind;
    static const std::array<CommandKindOrSeparator, 17> items = {
        K::addRootAction, K::addRootChance,  Separator{},       K::addActionAbove, K::editAction,      K::addActionBelow,
        K::deleteAction,  Separator{},       K::addChanceAbove, K::editPattern,    K::addChanceBelow,  K::deleteChance,
        Separator{},      K::addChildAction, K::addChildChance, Separator{},       K::sortAllByChance,
    };
    return items;
}

} // namespace tavlin
