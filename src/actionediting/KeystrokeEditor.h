#pragma once

#include <array>
#include <functional>

#include <QWidget>

#include "actionediting/core/ActionKinds.h"

class QCheckBox;
class QComboBox;

namespace tavlin {

// The key of a simulated keystroke, picked among the keys key pickers offer, and its four
// modifiers. Every change hands over the whole keystroke.
class KeystrokeEditor final : public QWidget {
public:
    using Changed = std::function<void(const actionparams::simulateKeystroke& keystroke)>;
    KeystrokeEditor(const actionparams::simulateKeystroke& keystroke, Changed changed, QWidget* parent = nullptr);

    QComboBox* keyPicker() const { return picker_; }
    // Command, Shift, Option, Control.
    const std::array<QCheckBox*, 4>& modifierToggles() const { return toggles_; }

private:
    actionparams::simulateKeystroke keystroke_;
    Changed changed_;
    QComboBox* picker_ = nullptr;
    std::array<QCheckBox*, 4> toggles_{};
};

} // namespace tavlin
