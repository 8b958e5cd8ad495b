#pragma once

#include <QtWidgets/QWidget>

class QCheckBox;
class QLabel;

namespace tavlin::qt {
class LocaleDoubleField;
}

namespace tavlin::flateditor {

// The indicator's two settings: whether it is hidden, and its height in percent of the screen
// height (0: the top panel's). Each is stored the moment it changes; the engine reads them when
// it shows the indicator. Hiding it hides the height row and keeps the stored height.
class LeaderKeyIndicatorSettingsView final : public QWidget {
public:
    explicit LeaderKeyIndicatorSettingsView(QWidget* parent = nullptr);

    // Shows the stored values again (the window is shown anew).
    void reload();

    QCheckBox* hideToggle() const { return hideToggle_; }
    qt::LocaleDoubleField* heightField() const { return heightField_; }
    // The height row and its note.
    QWidget* heightRow() const { return heightRow_; }

private:
    void showHeightRow(bool shown);

    QCheckBox* hideToggle_ = nullptr;
    QWidget* heightRow_ = nullptr;
    qt::LocaleDoubleField* heightField_ = nullptr;
};

} // namespace tavlin::flateditor
