#include "app/NodeEditMenu.h"

#include <QtWidgets/QMenu>

namespace tavlin::app {

NodeEditMenu::NodeEditMenu(QMenu& menu) : menu_(menu) {
    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] { rebuild(); });
}

void NodeEditMenu::setProvider(NodeEditMenuProvider provider) {
    provider_ = std::move(provider);
    rebuild();
}

void NodeEditMenu::rebuild() {
    // An item's command may change the selection, which rebuilds the menu while that item's
    // action is still being triggered: the old actions go on a later turn.
    for (QAction* action : menu_.actions()) {
        menu_.removeAction(action);
        if (action->parent() == &menu_) action->deleteLater();
    }
    if (!provider_) return;
    for (auto& entry : provider_()) {
        if (std::holds_alternative<NodeEditMenuSeparator>(entry)) {
            menu_.addSeparator();
            continue;
        }
        auto& item = std::get<NodeEditMenuItem>(entry);
        const QString title = QString::fromStdString(item.title);
        QAction* action = menu_.addAction(title);
        action->setEnabled(item.enabled);
        action->setStatusTip(title);
        if (item.command) QObject::connect(action, &QAction::triggered, action, std::move(item.command));
    }
}

} // namespace tavlin::app
