#include "actionediting/PathRow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "actionediting/ApplicationInfo.h"
#include "model/Action.h"
#include "platform/desktop/Workspace.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/PeopleWordsQt.h"
#include "platform/qt/PlainText.h"

namespace tavlin {
namespace {

constexpr int iconSize = 16;

} // namespace

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    // A path may hold anything, markup included: it is shown as it is.
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A Tab stop, so that revealing it needs no mouse.
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(4, 2, 4, 2); // room for the focus ring
    setVisible(false);
}

void PathLabel::setPath(const std::string& path, const QString& name) {
    path_ = path;
    // The default row's stand-in, where no browser was found, names no program of this desktop.
    const QString text = path == placeholderBrowserPath ? words::qt(words::noBrowserFound)
                         : name.isEmpty()               ? QString::fromStdString(path)
                                                        : name;
    setText(text);
    setToolTip(name.isEmpty() ? QString() : qt::toolTipText(QString::fromStdString(path)));
    setAccessibleName(text);
    setAccessibleDescription(QStringLiteral("Double-click or press Return to show it in the file manager"));
    setVisible(!path.empty());
}

void PathLabel::reveal() const {
    if (!path_.empty()) Workspace::shared().activateFileViewerSelecting(path_);
}

void PathLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !path_.empty()) {
        reveal();
        event->accept();
        return;
    }
    QLabel::mouseDoubleClickEvent(event);
}

void PathLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && event->modifiers() == Qt::NoModifier &&
        !path_.empty()) {
        reveal();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void PathLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) qt::drawFocusRing(*this, rect());
}

PathRow::PathRow(const QString& title, const QString& buttonTitle, const std::string& path, QWidget* parent, bool application)
    : QWidget(parent), application_(application) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The path's label is the row's first child label: PathLabel has no meta-object of its own,
    // so finding one by type finds the first label.
    label_ = new PathLabel(this);
    if (!title.isEmpty()) {
        auto* leading = new QLabel(title, this);
        leading->setTextFormat(Qt::PlainText);
        leading->setAccessibleName(title.trimmed());
        layout->addWidget(leading);
    }
    if (application_) {
        icon_ = new QLabel(this);
        icon_->setFixedSize(iconSize, iconSize);
        icon_->setVisible(false);
        layout->addWidget(icon_);
    }
    button_ = new QPushButton(buttonTitle, this);
    button_->setAutoDefault(false);
    button_->setAccessibleName(buttonTitle);
    layout->addWidget(label_);
    layout->addWidget(button_);
    layout->addStretch();
    setPath(path);
}

void PathRow::setPath(const std::string& path) {
    std::optional<xdg::ApplicationCatalog::Entry> entry;
    if (application_ && path != placeholderBrowserPath) entry = ApplicationInfo::entry(path);
    // An entry without a name, or none at all, keeps its path.
    const bool named = entry && !entry->name.empty();
    label_->setPath(path, named ? ApplicationInfo::nameForEntry(*entry) : QString());
    if (!icon_) return;
    icon_->setVisible(named);
    if (named) icon_->setPixmap(ApplicationInfo::iconForEntry(*entry).pixmap(QSize(iconSize, iconSize), devicePixelRatioF()));
}

} // namespace tavlin
