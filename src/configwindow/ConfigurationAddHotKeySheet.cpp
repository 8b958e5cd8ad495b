#include "configwindow/ConfigurationAddHotKeySheet.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/ConfigurationLeaderKeyView.h"

namespace tavlin {

ConfigurationAddHotKeySheet::ConfigurationAddHotKeySheet(SaveTapped saveTapped, std::optional<HotKey> hotKey,
                                                         shortcutkit::Name shortcutName, QWidget* parent)
    : QDialog(parent), saveTapped_(std::move(saveTapped)), hotKey_(std::move(hotKey)), shortcutName_(std::move(shortcutName)) {
    setWindowTitle(QStringLiteral("Add Leader Key"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    editor_ = new ConfigurationLeaderKeyView(
        shortcutkit::Name("add_sheet"), hotKey_,
        [this](const std::optional<HotKey>& changed) {
            hotKey_ = changed;
            // As the editor made anew from the sheet's key: an emptied key clears the stored
            // shortcut, so the next sheet starts with an empty recorder.
            editor_->sync(hotKey_);
            saveButton_->setEnabled(hotKey_.has_value());
        },
        [](bool) {}, this);
    layout->addWidget(editor_);

    auto* buttons = new QHBoxLayout();
    saveButton_ = new QPushButton(QStringLiteral("Save"), this);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    saveButton_->setAccessibleName(saveButton_->text());
    cancelButton_->setAccessibleName(cancelButton_->text());
    saveButton_->setDefault(true);
    cancelButton_->setAutoDefault(false);
    saveButton_->setEnabled(hotKey_.has_value());
    connect(saveButton_, &QPushButton::clicked, this, [this] {
        if (!hotKey_) return;
        if (saveTapped_) saveTapped_(*hotKey_);
        accept();
    });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();
    layout->addLayout(buttons);
}

} // namespace tavlin
