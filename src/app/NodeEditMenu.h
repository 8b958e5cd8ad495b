#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include <QtCore/QObject>

class QMenu;

namespace tavlin::app {

// One entry of the node-edit menu: a divider, or an item that runs its command when chosen.
struct NodeEditMenuSeparator {};
struct NodeEditMenuItem {
    std::string title;
    bool enabled = true;
    std::function<void()> command;
};
using NodeEditMenuEntry = std::variant<NodeEditMenuSeparator, NodeEditMenuItem>;

// Answers the entries for the current selection, in menu order.
using NodeEditMenuProvider = std::function<std::vector<NodeEditMenuEntry>()>;

// Fills a menu from a provider: each time the menu is about to show, and whenever the owner
// says the selection changed. Without a provider the menu is empty.
class NodeEditMenu {
public:
    // The title by which the menu is found in the menu bar.
    static constexpr const char* name = "Tree";

    explicit NodeEditMenu(QMenu& menu);
    NodeEditMenu(const NodeEditMenu&) = delete;
    NodeEditMenu& operator=(const NodeEditMenu&) = delete;

    QMenu& menu() const { return menu_; }
    // Installs the provider (an empty one removes it) and fills the menu from it.
    void setProvider(NodeEditMenuProvider provider);
    // The selection changed: the entries are worked out again.
    void selectionChanged() { rebuild(); }
    void rebuild();

private:
    QMenu& menu_;
    NodeEditMenuProvider provider_;
    // The context of the commands' connections: rebuilding drops exactly those.
    QObject this_;
};

} // namespace tavlin::app
