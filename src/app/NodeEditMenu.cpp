#include "app/NodeEditMenu.h"

#include <QtWidgets/QMenu>

namespace tavlin::app {

NodeEditMenu::NodeEditMenu(QMenu& menu) : menu_(menu) {
    this_.setObjectName(QStringLiteral("NodeEditMenu"));
    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_, [this] { rebuild(); });
}

void NodeEditMenu::setProvider(NodeEditMenuProvider provider) {
    provider_ = std::move(provider);
    rebuild();
}

void NodeEditMenu::rebuild() {
    std::vector<NodeEditMenuEntry> entries;
    if (provider_) entries = provider_();
    // The actions of the last build are reused in order (the selection changes often); the
    // ones left over go on a later turn, since an item's command may change the selection and
    // so rebuild the menu while its own action is still being triggered.
    const QList<QAction*> existing = menu_.actions();
    for (qsizetype i = static_cast<qsizetype>(entries.size()); i < existing.size(); ++i) {
        menu_.removeAction(existing[i]);
        if (existing[i]->parent() == &menu_) existing[i]->deleteLater();
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto index = static_cast<qsizetype>(i);
        QAction* action = index < existing.size() ? existing[index] : nullptr;
        if (!action) {
            action = new QAction(&menu_);
            menu_.addAction(action);
        }
        action->disconnect(&this_);
        if (std::holds_alternative<NodeEditMenuSeparator>(entries[i])) {
            action->setSeparator(true);
            action->setText(QString());
            action->setStatusTip(QString());
            action->setEnabled(true);
            continue;
        }
        auto& item = std::get<NodeEditMenuItem>(entries[i]);
        const QString title = QString::fromStdString(item.title);
        action->setSeparator(false);
        action->setText(title);
        action->setStatusTip(title);
        action->setEnabled(item.enabled);
        if (item.command) QObject::connect(action, &QAction::triggered, &this_, std::move(item.command));
    }
}

} // namespace tavlin::app
