#include "app/SettingsWindow.h"

#include <algorithm>

#include <QtGui/QAccessible>
#include <QtGui/QKeySequence>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

#include "app/WindowOperations.h"
#include "flateditor/PreferencesContentView.h"

namespace tavlin::app {
namespace {

// A plain top-level widget would be announced as a filler, not as the window it is.
QAccessibleInterface* accessibleSettingsWindow(const QString&, QObject* object) {
    if (auto* window = dynamic_cast<SettingsWindow*>(object)) return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

// The window manager frames a window only once it is on screen; until then the frame it gave
// another of ours stands for it.
QMargins frameOfAnotherWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || !widget->windowHandle() || (widget->windowFlags() & Qt::X11BypassWindowManagerHint)) continue;
        if (const QMargins frame = widget->windowHandle()->frameMargins(); !frame.isNull()) return frame;
    }
    return {};
}

} // namespace

SettingsWindow::SettingsWindow() {
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(accessibleSettingsWindow), true);
    setWindowTitle(QString::fromLatin1(title));
    setAccessibleName(QString::fromLatin1(title));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setContent(new flateditor::PreferencesContentView());
    // At its content's size: Qt would hold a new window to two thirds of the screen.
    fitToScreen(frameOfAnotherWindow());
    closeOnKeys(this, {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
}

void SettingsWindow::setContent(QWidget* content) {
    if (content == content_) return;
    delete content_.data();
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

void SettingsWindow::fitToScreen(const QMargins& frame) {
    QScreen* screen = this->screen();
    if (!screen) return;
    // The frame too goes within the free area: the window alone as tall as the area would reach
    // past the screen's bottom by the height of its title bar.
    const QRect available = screen->availableGeometry();
    resize(sizeHint().boundedTo(available.size().shrunkBy(frame)));
    if (!isVisible()) return;
    const QRect placed = frameGeometry();
    const int x = std::clamp(placed.x(), available.left(), std::max(available.left(), available.right() + 1 - placed.width()));
    const int y = std::clamp(placed.y(), available.top(), std::max(available.top(), available.bottom() + 1 - placed.height()));
    if (QPoint(x, y) != placed.topLeft()) move(x, y);
}

bool SettingsWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The window manager's own frame is known once the window is on screen.
    if (event->type() == QEvent::WindowActivate && !framed_ && windowHandle() && !windowHandle()->frameMargins().isNull()) {
        framed_ = true;
        fitToScreen(windowHandle()->frameMargins());
    }
    return handled;
}

void SettingsWindow::present(std::unique_ptr<SettingsWindow>& window) {
    if (!window) window = std::make_unique<SettingsWindow>();
    activateAndOrderFront(window.get());
}

} // namespace tavlin::app
