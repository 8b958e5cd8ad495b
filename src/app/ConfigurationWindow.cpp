#include "app/ConfigurationWindow.h"

#include <QtGui/QCloseEvent>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include "model/Configuration.h"

namespace tavlin::app {

ConfigurationWindow::ConfigurationWindow() {
    setWindowTitle(QStringLiteral("Configuration"));
    setMinimumSize(639, 497);
    resize(720, 500);
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    const auto file = Configuration::fileURL();
    auto* label = new QLabel(file ? QString::fromStdString(file->string()) : QString(), this);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}

void ConfigurationWindow::setContent(QWidget* content) {
    auto* box = static_cast<QVBoxLayout*>(layout());
    while (QLayoutItem* item = box->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    box->setContentsMargins(0, 0, 0, 0);
    content->setParent(this);
    box->addWidget(content);
}

void ConfigurationWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_(this)) event->ignore();
    else event->accept();
}

} // namespace tavlin::app
