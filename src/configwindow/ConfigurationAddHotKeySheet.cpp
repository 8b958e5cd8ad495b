#include "configwindow/ConfigurationAddHotKeySheet.h"

#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/ConfigurationLeaderKeyView.h"

namespace tavlin {

ConfigurationAddHotKeySheet::ConfigurationAddHotKeySheet(SaveTapped saveTapped, std::optional<HotKey> hotKey,
                                                         shortcutkit::Name shortcutName, QWidget* parent)
    : SheetFrame(QStringLiteral("Add Leader Key"), {}, parent), saveTapped_(std::move(saveTapped)), hotKey_(std::move(hotKey)),
      shortcutName_(std::move(shortcutName)) {
    auto* layout = new QVBoxLayout(this);
    editor_ = new ConfigurationLeaderKeyView(
        shortcutkit::Name("add_sheet"), hotKey_,
        [this](const std::optional<HotKey>& changed) {
            hotKey_ = changed;
            // As the editor made anew from the sheet's key: an emptied key clears the stored
            // shortcut, so the next sheet starts with an empty recorder.
            editor_->sync(hotKey_);
            saveButton()->setEnabled(hotKey_.has_value());
        },
        [](bool) {}, this);
    layout->addWidget(editor_);

    layout->addLayout(makeButtons(true, true));
    saveButton()->setEnabled(hotKey_.has_value());
}

void ConfigurationAddHotKeySheet::save() {
    if (!hotKey_) return;
    if (saveTapped_) saveTapped_(*hotKey_);
    accept();
}

} // namespace tavlin
