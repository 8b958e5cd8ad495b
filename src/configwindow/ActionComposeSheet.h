#pragma once

#include "actionediting/SheetFrame.h"
#include "configwindow/core/ActionSheetItem.h"

class QComboBox;
class QLineEdit;
class QTextEdit;
class QTimer;
class QVBoxLayout;

namespace tavlin {

// The sheet that composes a new action or edits one: the kind, the kind's fields, the description
// with a preview, then "Save" and "Cancel". An action that cannot be edited now is only shown.
class ActionComposeSheet final : public SheetFrame {
public:
    ActionComposeSheet(ActionSheetItem item, QWidget* parent);

    ActionConfigurationKind currentKind() const { return currentKind_; }
    ActionParamsByKind& params() { return params_; }
    // The place of the kind's fields; they call this after each change.
    QVBoxLayout* fieldsSlot() const { return fieldsSlot_; }
    // The fields of the current kind, built anew at each change of kind.
    QWidget* fieldsEditor() const { return fieldsEditor_; }
    void paramsChanged();

    QComboBox* kindPicker() const { return kindPicker_; }
    QLineEdit* descriptionField() const { return descriptionField_; }
    QTextEdit* descriptionPreview() const { return preview_; }

private:
    void buildReadOnly();
    void buildEditor();
    void save() override;
    void updatePreview();
    void rebuildFields();
    // Keeps the width (growing only when the fields need more) and takes the height they need.
    void fitHeight();
    void orderTabs();

    ActionSheetItem item_;
    ActionConfigurationKind currentKind_;
    ActionParamsByKind params_;
    QComboBox* kindPicker_ = nullptr;
    QVBoxLayout* fieldsSlot_ = nullptr;
    QWidget* fieldsEditor_ = nullptr;
    QLineEdit* descriptionField_ = nullptr;
    QTextEdit* preview_ = nullptr;
    QTimer* previewTimer_ = nullptr;
};

} // namespace tavlin
