#pragma once

#include "actionediting/SheetFrame.h"
#include "configwindow/core/PatternSheetItem.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace tavlin {

// The sheet that composes the pattern of a new chance or a new pattern for a chance: the kind,
// then a key, a regular expression or nothing, then "Save" and "Cancel".
class PatternComposeSheet final : public SheetFrame {
public:
    PatternComposeSheet(PatternSheetItem item, QWidget* parent);

    Pattern::ConfigurationKind currentKind() const { return currentKind_; }
    QComboBox* kindPicker() const { return kindPicker_; }
    QComboBox* keyPicker() const { return keyPicker_; }
    QLabel* keyList() const { return keyList_; }
    QLineEdit* regexField() const { return regexField_; }
    QLabel* regexProblem() const { return regexProblem_; }

private:
    void showEditor();
    void update();
    void save() override;

    PatternSheetItem item_;
    Pattern::ConfigurationKind currentKind_;
    PatternParamsByKind params_;
    QComboBox* kindPicker_ = nullptr;
    QStackedWidget* editors_ = nullptr;
    QWidget* keyEditor_ = nullptr;
    QComboBox* keyPicker_ = nullptr;
    QLabel* keyList_ = nullptr;
    QWidget* messageEditor_ = nullptr;
    QLineEdit* regexField_ = nullptr;
    QLabel* regexProblem_ = nullptr;
    QWidget* noEditor_ = nullptr;
};

} // namespace tavlin
