#pragma once

#include <functional>

#include <QtCore/QList>
#include <QtGui/QKeySequence>

class QWidget;

namespace tavlin::app {

// What the shell does with its windows, in the desktop's terms: an application is "active"
// while one of its windows has the focus; hiding it hides all its windows.

// The first window whose title is exactly "Configuration"; null when there is none.
QWidget* configurationWindow();
// Brings the configuration window up, making it when there is none.
void showConfigurationWindow();
// Hides the configuration window (and the application) when it is up and active, else shows it.
void toggleConfigurationWindow();

bool isApplicationActive();
// Whether any window of the application is on screen.
bool hasVisibleWindow();
void hideApplication();
// Raises the window and gives it the focus.
void activateAndOrderFront(QWidget* window);
// Raises and activates (through the window manager) the window shown, over other programs'
// windows: the configuration window when it is shown, else another ordinary window of ours.
void bringShownWindowForward();

// Each of `keys` closes `window` (as its close box does) while it is the active window.
void closeOnKeys(QWidget* window, const QList<QKeySequence>& keys);

// Opens the URL "tavlin://show-configuration-window" in this application: the configuration
// window group makes its window when none exists. Installed by the application at start.
void setShowConfigurationWindowURLHandler(std::function<void()> handler);

} // namespace tavlin::app
