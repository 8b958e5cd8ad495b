#pragma once

#include <functional>

#include <QtWidgets/QWidget>

#include "configwindow/core/ActionSheetItem.h"

class QLabel;
class QLineEdit;

namespace tavlin {

// The fields of one action kind in the action sheet. Built for the kind selected now (asking then
// whether the helper runs); every edit writes its one field into the sheet's values and calls
// `changed`. A kind without fields shows nothing.
class ActionParamsEditor final : public QWidget {
public:
    ActionParamsEditor(ActionParamsByKind& params, ActionConfigurationKind kind, std::function<void()> changed,
                       QWidget* parent = nullptr);

    // The execute-file note under the arguments field.
    static QString executeFileNote();

private:
    void build();
    QLabel* addLabel(const QString& text);
    QLineEdit* addTextField(const QString& title, const QString& placeholder, const std::string& text);
    void addPathRow(const QString& buttonTitle, int chooserKind, std::function<std::string()> read,
                    std::function<void(std::string)> write);
    void addApplicationRow();
    void addDelayField(const QString& label, const QString& prompt, bool narrow);
    void edited();

    ActionParamsByKind& params_;
    ActionConfigurationKind kind_;
    std::function<void()> changed_;
};

} // namespace tavlin
