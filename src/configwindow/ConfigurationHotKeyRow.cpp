#include "configwindow/ConfigurationHotKeyRow.h"

#include <QtGui/QEnterEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolButton>

#include "actionediting/core/LeaderKeyEditorState.h"

namespace tavlin {

ConfigurationHotKeyRow::ConfigurationHotKeyRow(HotKey hotKey, std::function<void()> deleteTapped, QWidget* parent)
    : QWidget(parent), hotKey_(std::move(hotKey)) {
    setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    marker_ = new QStackedWidget(this);
    auto* bullet = new QLabel(QStringLiteral("• "), marker_);
    bullet->setAccessibleName(QStringLiteral("•"));
    deleteButton_ = new QToolButton(marker_);
    deleteButton_->setAutoRaise(true);
    // Looked up once: a theme lookup per row would make long lists slow to build.
    static const QIcon trash = QIcon::fromTheme(QStringLiteral("user-trash"), style()->standardIcon(QStyle::SP_TrashIcon));
    deleteButton_->setIcon(trash);
    deleteButton_->setText(QStringLiteral("Delete"));
    deleteButton_->setToolTip(QStringLiteral("Delete"));
    deleteButton_->installEventFilter(this);
    connect(deleteButton_, &QToolButton::clicked, this, [deleteTapped = std::move(deleteTapped)] {
        if (deleteTapped) deleteTapped();
    });
    marker_->addWidget(bullet);
    marker_->addWidget(deleteButton_);
    marker_->setFixedSize(deleteButton_->sizeHint().expandedTo(bullet->sizeHint()));
    text_ = new QLabel(QString::fromStdString(hotKeyText(hotKey_)), this);
    text_->setTextFormat(Qt::PlainText);
    text_->setAccessibleName(text_->text());
    deleteButton_->setAccessibleName(QStringLiteral("Delete ") + text_->text());
    setAccessibleName(text_->text());
    layout->addWidget(marker_);
    layout->addWidget(text_);
    layout->addStretch();
    updateDeleteShown();
}

bool ConfigurationHotKeyRow::deleteShown() const { return marker_->currentWidget() == deleteButton_; }

void ConfigurationHotKeyRow::updateDeleteShown() {
    const bool focused = hasFocus() || deleteButton_->hasFocus();
    marker_->setCurrentIndex(hovered_ || focused ? 1 : 0);
}

void ConfigurationHotKeyRow::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    updateDeleteShown();
    QWidget::enterEvent(event);
}

void ConfigurationHotKeyRow::leaveEvent(QEvent* event) {
    hovered_ = false;
    updateDeleteShown();
    QWidget::leaveEvent(event);
}

void ConfigurationHotKeyRow::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    updateDeleteShown();
}

void ConfigurationHotKeyRow::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    updateDeleteShown();
}

bool ConfigurationHotKeyRow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == deleteButton_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        // After the button's own handling, so hasFocus() tells the new state.
        QMetaObject::invokeMethod(
            this, [this] { updateDeleteShown(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tavlin
