#include "app/MainMenu.h"

#include <QtGui/QShortcut>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include "app/NodeEditMenu.h"

namespace tavlin::app {
namespace {

constexpr const char* helpMenuTitle = "Help";

QAction* addCommand(QMenu& menu, const QString& title, const std::function<void()>& command, const QKeySequence& shortcut = {}) {
    QAction* action = menu.addAction(title);
    action->setStatusTip(title);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    if (command) QObject::connect(action, &QAction::triggered, action, [command] { command(); });
    return action;
}

// The title is shown with its letter at `mnemonic` underlined: Alt and that letter open the menu.
// Each menu needs a letter of its own, or Alt and a shared letter cycles through them.
QMenu* addMenu(QMenuBar& bar, const QString& title, qsizetype mnemonic = 0) {
    QMenu* menu = bar.addMenu(QString(title).insert(mnemonic, QLatin1Char('&')));
    menu->setAccessibleName(title);
    return menu;
}

QString shownTitle(const QAction& action) { return QString(action.text()).remove(QLatin1Char('&')); }

QAction* topLevelItem(const QMenuBar& bar, const QString& title) {
    for (QAction* action : bar.actions())
        if (shownTitle(*action) == title) return action;
    return nullptr;
}

} // namespace

QMenu* fillMainMenu(QMenuBar& bar, const MainMenuCommands& commands) {
    bar.setAccessibleName(QStringLiteral("Main menu"));
    // F10 opens the first menu, as on the rest of the desktop.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), &bar);
    f10->setContext(Qt::WindowShortcut);
    QObject::connect(f10, &QShortcut::activated, &bar, [&bar] {
        for (QAction* action : bar.actions())
            if (action->isVisible() && action->isEnabled()) return bar.setActiveAction(action);
    });
    // Alt+T belongs to the tree menu; the application menu takes its second letter.
    QMenu* application = addMenu(bar, QStringLiteral("tavlin"), 1);
    addCommand(*application, QStringLiteral("About tavlin"), commands.showAbout);
    application->addSeparator();
    addCommand(*application, QStringLiteral("Configuration"), commands.showConfigurationWindow);
    addCommand(*application, QStringLiteral("Settings…"), commands.showSettings, QKeySequence(Qt::CTRL | Qt::Key_Comma));
    application->addSeparator();
    // Shift+Control: Super belongs to the desktop and the leader keys.
    addCommand(*application, QStringLiteral("Quit"), commands.quit, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));

    QMenu* nodeEdit = addMenu(bar, QString::fromLatin1(NodeEditMenu::name));

    QMenu* help = addMenu(bar, QString::fromLatin1(helpMenuTitle));
    addCommand(*help, QStringLiteral("Support"), commands.openSupport);
    return nodeEdit;
}

void setNodeEditMenuInBar(QMenuBar& bar, QMenu& nodeEditMenu, bool inBar) {
    QAction* present = topLevelItem(bar, QString::fromLatin1(NodeEditMenu::name));
    if (!inBar) {
        if (present) bar.removeAction(present);
        return;
    }
    if (present) return;
    bar.insertAction(topLevelItem(bar, QString::fromLatin1(helpMenuTitle)), nodeEditMenu.menuAction());
}

bool isNodeEditMenuInBar(const QMenuBar& bar) { return topLevelItem(bar, QString::fromLatin1(NodeEditMenu::name)); }

} // namespace tavlin::app
