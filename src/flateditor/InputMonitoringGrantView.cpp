#include "flateditor/InputMonitoringGrantView.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "flateditor/ListenEventAccess.h"

namespace tavlin::flateditor {
namespace {

QLabel* paragraph(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAccessibleName(text);
    return label;
}

} // namespace

InputMonitoringGrantView::InputMonitoringGrantView(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Input Monitoring"));
    setAccessibleName(QStringLiteral("Input Monitoring"));
    setFixedWidth(371);
    setMinimumHeight(471);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(17);
    layout->addWidget(paragraph(this, QStringLiteral("If you unintentionally trigger tavlin actions when using a macOS keyboard "
                                                     "shortcut, granting input monitoring may fix the issue.")));
    grantButton_ = new QPushButton(QStringLiteral("Grant Input Monitoring"), this);
    grantButton_->setAutoDefault(false);
    grantButton_->setAccessibleName(grantButton_->text());
    layout->addWidget(grantButton_, 0, Qt::AlignLeft);
    layout->addWidget(paragraph(this, QStringLiteral("Details:")));
    layout->addWidget(
        paragraph(this, QStringLiteral("Without input monitoring granted, tavlin is only notified when you press or "
                                       "release modifier keys. tavlin triggers an action when you quickly press and "
                                       "release a modifier key.")));
    layout->addWidget(
        paragraph(this, QStringLiteral("When you use a macOS keyboard shortcut, such as Command-C, tavlin has no idea "
                                       "that the letter C is beting typed. From tavlin's point of view, you press and "
                                       "release the Command key, so the corresponding tavlin action will be triggered "
                                       "when you quickly press Command-C.")));
    layout->addWidget(
        paragraph(this, QStringLiteral("With input monitoring granted, tavlin can see when you hold down the Command "
                                       "key, then press the letter C, and then release them. This way, tavlin knows "
                                       "that you don't want to trigger tavlin actions in this case.")));
    layout->addStretch(1);
    auto* bottom = new QHBoxLayout();
    bottom->addStretch(1);
    doneButton_ = new QPushButton(QStringLiteral("Done"), this);
    doneButton_->setAutoDefault(false);
    doneButton_->setAccessibleName(doneButton_->text());
    bottom->addWidget(doneButton_);
    layout->addLayout(bottom);

    connect(grantButton_, &QPushButton::clicked, this, &InputMonitoringGrantView::grantAccess);
    connect(doneButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void InputMonitoringGrantView::refreshAccessState() {
    const auto& access = ListenEventAccess::shared();
    isListenEventAccessEnabled_ = access.preflight && access.preflight();
    grantButton_->setText(isListenEventAccessEnabled_ ? QStringLiteral("Input Monitoring Granted")
                                                      : QStringLiteral("Grant Input Monitoring"));
    grantButton_->setAccessibleName(grantButton_->text());
    grantButton_->setEnabled(!isListenEventAccessEnabled_);
}

void InputMonitoringGrantView::grantAccess() {
    didDisappearHandler_ = [] {
        const auto& access = ListenEventAccess::shared();
        if (access.request) access.request();
    };
    accept();
}

void InputMonitoringGrantView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) refreshAccessState();
}

void InputMonitoringGrantView::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) runDidDisappearHandler();
}

void InputMonitoringGrantView::runDidDisappearHandler() {
    auto handler = std::move(didDisappearHandler_);
    didDisappearHandler_ = nullptr;
    // On the next turn: the sheet is off screen by then, and may already be deleted.
    if (handler) QTimer::singleShot(0, QCoreApplication::instance(), std::move(handler));
}

} // namespace tavlin::flateditor
