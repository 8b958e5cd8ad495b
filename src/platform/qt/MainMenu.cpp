#include "platform/qt/MainMenu.h"

#include <QMenuBar>
#include <QPointer>

namespace tavlin::qt {

namespace {
QPointer<QMenuBar>& storedMainMenu() {
    static QPointer<QMenuBar> menuBar;
    return menuBar;
}
} // namespace

void setMainMenu(QMenuBar* menuBar) { storedMainMenu() = menuBar; }

QMenuBar* mainMenu() { return storedMainMenu().data(); }

} // namespace tavlin::qt
