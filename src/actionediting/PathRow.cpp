#include "actionediting/PathRow.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>

#include "model/Action.h"
#include "platform/Workspace.h"
#include "platform/qt/PeopleWordsQt.h"

namespace tavlin {

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    // A path may hold anything, markup included: it is shown as it is.
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setVisible(false);
}

void PathLabel::setPath(const std::string& path) {
    path_ = path;
    // The default row's stand-in, where no browser was found, names no program of this desktop.
    const QString text = path == placeholderBrowserPath ? words::qt(words::noBrowserFound) : QString::fromStdString(path);
    setText(text);
    setAccessibleName(text);
    setAccessibleDescription(QStringLiteral("Double-click to show it in the file manager"));
    setVisible(!path.empty());
}

void PathLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !path_.empty()) {
        Workspace::shared().activateFileViewerSelecting(path_);
        event->accept();
        return;
    }
    QLabel::mouseDoubleClickEvent(event);
}

PathRow::PathRow(const QString& title, const QString& buttonTitle, const std::string& path, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!title.isEmpty()) {
        auto* leading = new QLabel(title, this);
        leading->setTextFormat(Qt::PlainText);
        leading->setAccessibleName(title.trimmed());
        layout->addWidget(leading);
    }
    label_ = new PathLabel(this);
    label_->setPath(path);
    button_ = new QPushButton(buttonTitle, this);
    button_->setAutoDefault(false);
    button_->setAccessibleName(buttonTitle);
    layout->addWidget(label_);
    layout->addWidget(button_);
    layout->addStretch();
}

} // namespace tavlin
