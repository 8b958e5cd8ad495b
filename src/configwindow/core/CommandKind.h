#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <variant>

namespace tavlin {

// The thirteen tree commands of the configuration window; the raw value is the menu title.
enum class CommandKind {
    addRootAction,
    addRootChance,
    addActionAbove,
    editAction,
    addActionBelow,
    deleteAction,
    addChanceAbove,
    editPattern,
    addChanceBelow,
    deleteChance,
    addChildAction,
    addChildChance,
    sortAllByChance,
};

inline constexpr std::array<CommandKind, 13> allCommandKinds = {
    CommandKind::addRootAction,   CommandKind::addRootChance, CommandKind::addActionAbove, CommandKind::editAction,
    CommandKind::addActionBelow,  CommandKind::deleteAction,  CommandKind::addChanceAbove, CommandKind::editPattern,
    CommandKind::addChanceBelow,  CommandKind::deleteChance,  CommandKind::addChildAction, CommandKind::addChildChance,
    CommandKind::sortAllByChance,
};

std::string_view rawValue(CommandKind kind);
// Exactly one of the thirteen titles; anything else (another case too) gives nothing.
std::optional<CommandKind> commandKindFromRawValue(std::string_view title);

// One entry of the node-edit menu's fixed order.
struct Separator {
    friend bool operator==(const Separator&, const Separator&) = default;
};
using CommandKindOrSeparator = std::variant<CommandKind, Separator>;

// The seventeen entries: the commands grouped by what they act on.
const std::array<CommandKindOrSeparator, 17>& allCommandKindOrSeparatorItems();

} // namespace tavlin
