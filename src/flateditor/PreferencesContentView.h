#pragma once

#include <array>
#include <vector>

#include <QtWidgets/QScrollArea>

class QCheckBox;
class QComboBox;

namespace tavlin::qt {
class LocaleDoubleField;
}

namespace tavlin::flateditor {

class HelperStatusSection;
class LeaderKeyIndicatorSettingsView;

// The Settings window's content: the single-modifier interval, the indicator, the hint delay,
// the task-bar entry and the helper's status, each stored the moment it changes. The engine
// reads the settings when it uses them, so nobody is told.
class PreferencesContentView final : public QScrollArea {
public:
    // The intervals offered, 0.1 s to 0.5 s in steps of 0.05 s, each one fused multiply-add so
    // that 0.2 and 0.5 come out exact. A stored value is selected only when exactly equal.
    static std::array<double, 9> intervals();

    explicit PreferencesContentView(QWidget* parent = nullptr);

    // Raises the application's visible ordinary windows and activates this one's; run 100 ms
    // after the task-bar setting changed, when the window manager has taken the new state.
    void bringWindowsToFront();
    // The windows that raises: shown, ordinary or dialogs, neither the leader-key indicator nor
    // the input panel. Hidden windows, menus and tooltips stay as they are.
    static std::vector<QWidget*> windowsToBringToFront();

    // The whole content, not a scroll area's bounded guess: the window opens at this size and
    // scrolls only on a screen too small for it.
    QSize sizeHint() const override;

    QComboBox* intervalPicker() const { return intervalPicker_; }
    qt::LocaleDoubleField* hintField() const { return hintField_; }
    QCheckBox* dockIconToggle() const { return dockIconToggle_; }
    LeaderKeyIndicatorSettingsView* indicatorSettings() const { return indicatorSettings_; }
    HelperStatusSection* helperSection() const { return helperSection_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the stored values.
    void reload();
    void clearFocusSoon();

    QComboBox* intervalPicker_ = nullptr;
    qt::LocaleDoubleField* hintField_ = nullptr;
    QCheckBox* dockIconToggle_ = nullptr;
    LeaderKeyIndicatorSettingsView* indicatorSettings_ = nullptr;
    HelperStatusSection* helperSection_ = nullptr;
    QWidget* watchedWindow_ = nullptr;
    bool clearFocusOnActivation_ = false;
};

} // namespace tavlin::flateditor
