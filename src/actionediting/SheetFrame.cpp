#include "actionediting/SheetFrame.h"

#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>

namespace tavlin {

SheetFrame::SheetFrame(const QString& title, Keys keys, QWidget* parent) : QDialog(parent), keys_(keys) {
    setWindowTitle(title);
    setAccessibleName(title);
    setWindowModality(Qt::WindowModal);
}

void SheetFrame::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Sheets open from the keyboard as often as not: their focus shows from the start, not only
    // once Tab has moved it. Qt takes the mark from a window each time it shows.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

QPushButton* SheetFrame::makeButton(const QString& title) {
    auto* button = new QPushButton(title, this);
    button->setAccessibleName(title);
    button->setAutoDefault(false);
    return button;
}

QHBoxLayout* SheetFrame::makeButtons(bool withSave, bool centred, QWidget* leading) {
    auto* bar = new QHBoxLayout();
    if (leading) bar->addWidget(leading);
    bar->addStretch(leading ? 1 : 0);
    if (withSave) {
        saveButton_ = makeButton(QStringLiteral("Save"));
        saveButton_->setDefault(keys_.returnSaves);
        connect(saveButton_, &QPushButton::clicked, this, [this] { save(); });
        if (keys_.controlSSaves) {
            const QKeySequence keys(Qt::CTRL | Qt::Key_S);
            saveButton_->setToolTip(keys.toString(QKeySequence::NativeText));
            saveButton_->setAccessibleDescription(saveButton_->toolTip());
            connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { save(); });
        }
        bar->addWidget(saveButton_);
    }
    cancelButton_ = makeButton(QStringLiteral("Cancel"));
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    bar->addWidget(cancelButton_);
    if (centred) bar->addStretch();
    return bar;
}

} // namespace tavlin
