#pragma once

class QMenuBar;

namespace tavlin::qt {

// The application's main menu. Linux has no application-wide menu bar, so the configuration
// window's bar stands for it; shortcut recording checks its items for conflicts. Null while none
// is set, or once the bar is destroyed.
void setMainMenu(QMenuBar* menuBar);
QMenuBar* mainMenu();

} // namespace tavlin::qt
