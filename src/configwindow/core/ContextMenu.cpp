#include "configwindow/core/ContextMenu.h"

namespace tavlin {
namespace {

ContextMenuEntry header(std::string title) { return {ContextMenuEntry::Type::header, std::move(title)}; }
ContextMenuEntry divider() { return {}; }
ContextMenuEntry command(CommandKind kind, std::string title = {}) {
    const bool destructive = kind == CommandKind::deleteAction || kind == CommandKind::deleteChance;
    return {ContextMenuEntry::Type::command, title.empty() ? std::string(rawValue(kind)) : std::move(title), kind, destructive};
}

} // namespace

std::vector<ContextMenuEntry> contextMenuEntries(const std::optional<SelectedActionOrChanceRow>& selection) {
    using K = CommandKind;
    if (!selection) return {header("Root"), divider(), command(K::addRootAction), command(K::addRootChance)};
    if (const auto* action = selection->action()) {
        return {header("- " + action->action.kind.shownText()),
                divider(),
                command(K::addActionAbove),
                command(K::editAction),
                command(K::addActionBelow),
                command(K::deleteAction, "DELETE Action")};
    }
    return {header("• " + selection->chance()->pattern.kind.shownText()),
            divider(),
            command(K::addChanceAbove),
            command(K::editPattern),
            command(K::addChanceBelow),
            command(K::deleteChance, "DELETE Pattern(Chance)"),
            divider(),
            command(K::addChildAction),
            command(K::addChildChance)};
}

} // namespace tavlin
