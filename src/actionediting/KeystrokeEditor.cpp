#include "actionediting/KeystrokeEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "actionediting/KeyTypeAhead.h"
#include "model/KeyNames.h"
#include "platform/qt/PeopleWordsQt.h"

namespace tavlin {
namespace {

// Named once per process, as the key-name table is: the editor is rebuilt on every kind switch.
const QStringList& keyPickerNames() {
    static const QStringList names = [] {
        QStringList list;
        for (const int code : sortedAvailableKeyCodes()) list.push_back(QString::fromStdString(shownKeyName(code)));
        return list;
    }();
    return names;
}

} // namespace

KeystrokeEditor::KeystrokeEditor(const actionparams::simulateKeystroke& keystroke, Changed changed, QWidget* parent)
    : QWidget(parent), keystroke_(keystroke), changed_(std::move(changed)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* keyRow = new QHBoxLayout();
    auto* title = new QLabel(QStringLiteral("Key: "), this);
    title->setAccessibleName(QStringLiteral("Key"));
    picker_ = new QComboBox(this);
    picker_->setAccessibleName(QStringLiteral("Key"));
    title->setBuddy(picker_);
    picker_->addItems(keyPickerNames());
    const auto& codes = sortedAvailableKeyCodes();
    for (std::size_t i = 0; i < codes.size(); ++i) picker_->setItemData(static_cast<int>(i), codes[i]);
    installKeyTypeAhead(*picker_);
    // A stored key the picker does not offer shows no selection and stays until one is picked.
    int current = -1;
    for (std::size_t i = 0; i < codes.size(); ++i)
        if (codes[i] == keystroke_.mainKeyCode) current = static_cast<int>(i);
    picker_->setCurrentIndex(current);
    connect(picker_, &QComboBox::activated, this, [this](int chosen) {
        const auto& offered = sortedAvailableKeyCodes();
        if (chosen < 0 || static_cast<std::size_t>(chosen) >= offered.size()) return;
        keystroke_.mainKeyCode = offered[static_cast<std::size_t>(chosen)];
        if (changed_) changed_(keystroke_);
    });
    keyRow->addWidget(title);
    keyRow->addWidget(picker_);
    keyRow->addStretch();
    layout->addLayout(keyRow);

    auto* toggleRow = new QHBoxLayout();
    const std::array<std::pair<std::string_view, bool actionparams::simulateKeystroke::*>, 4> flags = {{
        {words::superKey, &actionparams::simulateKeystroke::cmd},
        {words::shiftKey, &actionparams::simulateKeystroke::shift},
        {words::altKey, &actionparams::simulateKeystroke::option},
        {words::controlKey, &actionparams::simulateKeystroke::control},
    }};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        // A plain variable, not a structured binding: the lambda captures it.
        const auto field = flags[i].second;
        auto* toggle = new QCheckBox(words::qt(flags[i].first), this);
        toggle->setAccessibleName(toggle->text());
        toggle->setChecked(keystroke_.*field);
        connect(toggle, &QCheckBox::toggled, this, [this, field](bool on) {
            keystroke_.*field = on;
            if (changed_) changed_(keystroke_);
        });
        toggleRow->addWidget(toggle);
        toggles_[i] = toggle;
    }
    toggleRow->addStretch();
    layout->addLayout(toggleRow);
}

} // namespace tavlin
