#pragma once

#include <array>
#include <functional>

#include <QWidget>

#include "flateditor/core/RowSheetParams.h"

class QCheckBox;
class QComboBox;

namespace tavlin::flateditor {

// The key of a simulated keystroke, picked among the keys key pickers offer, and its four
// modifiers. Every change hands over the whole keystroke.
class KeystrokeEditor final : public QWidget {
public:
    using Changed = std::function<void(const rowparams::simulateKeystroke& keystroke)>;
    KeystrokeEditor(const rowparams::simulateKeystroke& keystroke, Changed changed, QWidget* parent = nullptr);

    QComboBox* keyPicker() const { return picker_; }
    // Command, Shift, Option, Control.
    const std::array<QCheckBox*, 4>& modifierToggles() const { return toggles_; }

private:
    rowparams::simulateKeystroke keystroke_;
    Changed changed_;
    QComboBox* picker_ = nullptr;
    std::array<QCheckBox*, 4> toggles_{};
};

} // namespace tavlin::flateditor
