#include "flateditor/InputMonitoringGrantView.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "flateditor/ListenEventAccess.h"
#include "platform/qt/PeopleWordsQt.h"

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
    setWindowTitle(words::qt(words::inputMonitoring));
    setAccessibleName(windowTitle());
    setFixedWidth(371);
    setMinimumHeight(471);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(17);
    const auto& paragraphs = words::inputMonitoringParagraphs;
    layout->addWidget(paragraph(this, words::qt(paragraphs[0])));
    grantButton_ = new QPushButton(words::qt(words::grantInputMonitoring), this);
    grantButton_->setAutoDefault(false);
    grantButton_->setAccessibleName(grantButton_->text());
    layout->addWidget(grantButton_, 0, Qt::AlignLeft);
    for (std::size_t i = 1; i < std::size(paragraphs); ++i) layout->addWidget(paragraph(this, words::qt(paragraphs[i])));
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
    grantButton_->setText(isListenEventAccessEnabled_ ? words::qt(words::inputMonitoringGranted)
                                                      : words::qt(words::grantInputMonitoring));
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
