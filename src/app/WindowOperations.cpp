#include "app/WindowOperations.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QShortcut>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace tavlin::app {

namespace {
std::function<void()>& urlHandler() {
    static std::function<void()> handler;
    return handler;
}

void openShowConfigurationWindowURL() {
    if (urlHandler()) urlHandler()();
}
} // namespace

void setShowConfigurationWindowURLHandler(std::function<void()> handler) { urlHandler() = std::move(handler); }

QWidget* configurationWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->windowTitle() == QLatin1String("Configuration")) return widget;
    return nullptr;
}

void closeOnKeys(QWidget* window, const QList<QKeySequence>& keys) {
    for (const QKeySequence& sequence : keys) {
        auto* shortcut = new QShortcut(sequence, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, [window] { window->close(); });
    }
}

bool isApplicationActive() { return QGuiApplication::applicationState() == Qt::ApplicationActive; }

bool hasVisibleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->isVisible()) return true;
    return false;
}

// The floating input panel and the indicator come and go with sessions, not with the
// application's other windows.
void hideApplication() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->isVisible() && !(widget->windowFlags() & Qt::X11BypassWindowManagerHint))
            widget->hide();
}

void activateAndOrderFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

void bringShownWindowForward() {
    QWidget* window = configurationWindow();
    if (window && window->isVisible()) return activateAndOrderFront(window);
    // Not the input panel or the indicator (they bypass the window manager), menus or tool tips.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isVisible() && (type == Qt::Window || type == Qt::Dialog) &&
            !(widget->windowFlags() & Qt::X11BypassWindowManagerHint))
            return activateAndOrderFront(widget);
    }
}

void showConfigurationWindow() {
    QWidget* window = configurationWindow();
    if (!window) return openShowConfigurationWindowURL();
    if (window->isVisible() && isApplicationActive()) return;
    activateAndOrderFront(window);
}

void toggleConfigurationWindow() {
    QWidget* window = configurationWindow();
    if (!window) return openShowConfigurationWindowURL();
    if (window->isVisible() && isApplicationActive()) {
        window->hide();
        hideApplication();
        return;
    }
    activateAndOrderFront(window);
}

} // namespace tavlin::app
