#pragma once

#include <functional>

class QMenu;
class QMenuBar;

namespace tavlin::app {

// What the main menu's commands do. A command left empty does nothing.
struct MainMenuCommands {
    std::function<void()> showAbout;
    std::function<void()> showConfigurationWindow;
    std::function<void()> showSettings;
    std::function<void()> quit;
    std::function<void()> openSupport;
};

// Fills the bar with the application's menus: "tavlin" (About, Configuration, Settings…,
// Quit), the node-edit menu, and "Help" (Support). F10 opens the first menu and Alt with a
// title's first letter its menu; the node-edit menu is found by its shown title. The shortcuts
// work from every window of the application. Answers the node-edit menu, empty.
QMenu* fillMainMenu(QMenuBar& bar, const MainMenuCommands& commands);

// The bar's node-edit menu goes in (before "Help") or out; it is found by its title.
void setNodeEditMenuInBar(QMenuBar& bar, QMenu& nodeEditMenu, bool inBar);
bool isNodeEditMenuInBar(const QMenuBar& bar);

} // namespace tavlin::app
