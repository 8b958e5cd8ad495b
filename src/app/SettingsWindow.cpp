#include "app/SettingsWindow.h"

#include <QtGui/QAccessible>
#include <QtGui/QKeySequence>
#include <QtGui/QScreen>
#include <QtWidgets/QAccessibleWidget>
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
    if (QScreen* screen = this->screen()) resize(sizeHint().boundedTo(screen->availableGeometry().size()));
    closeOnKeys(this, {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
}

void SettingsWindow::setContent(QWidget* content) {
    if (content == content_) return;
    delete content_.data();
    content_ = content;
    if (content_) layout()->addWidget(content_);
}

void SettingsWindow::present(std::unique_ptr<SettingsWindow>& window) {
    if (!window) window = std::make_unique<SettingsWindow>();
    activateAndOrderFront(window.get());
}

} // namespace tavlin::app
