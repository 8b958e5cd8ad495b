#include "app/SettingsWindow.h"

#include <QtGui/QKeySequence>
#include <QtWidgets/QVBoxLayout>

#include "app/WindowOperations.h"
#include "flateditor/PreferencesContentView.h"

namespace tavlin::app {

SettingsWindow::SettingsWindow() {
    setWindowTitle(QString::fromLatin1(title));
    setAccessibleName(QString::fromLatin1(title));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setContent(new flateditor::PreferencesContentView());
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
