#include "flateditor/PreferencesContentView.h"

#include <cmath>

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QVBoxLayout>

#include "flateditor/HelperStatusSection.h"
#include "flateditor/LeaderKeyIndicatorSettingsView.h"
#include "model/Settings.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/qt/LocaleDoubleField.h"
#include "platform/qt/PeopleWordsQt.h"
#include "platform/qt/QtIndicatorWindow.h"
#include "platform/qt/QtInputWindow.h"

namespace tavlin::flateditor {
namespace {

QLabel* oneLineLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return label;
}

QGroupBox* groupBox(const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}

QString dockIconToggleTitle() {
    QStringList parts{words::qt(words::hideFromTaskBarStart)};
    if (const auto name = appDisplayName()) parts << QString::fromStdString(*name);
    parts << words::qt(words::hideFromTaskBarEnd);
    return parts.join(QLatin1Char(' '));
}

} // namespace

std::array<double, 9> PreferencesContentView::intervals() {
    std::array<double, 9> values{};
    for (int i = 0; i < 9; ++i) values[static_cast<std::size_t>(i)] = std::fma(i, 0.05, 0.1);
    return values;
}

PreferencesContentView::PreferencesContentView(QWidget* parent) : QScrollArea(parent) {
    setAccessibleName(QStringLiteral("Settings"));
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(426, 400);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setAccessibleName(QStringLiteral("Settings"));

    auto* content = new QWidget();
    auto* column = new QVBoxLayout(content);

    auto* leaderKey = groupBox(QStringLiteral("Leader Key"), content);
    auto* leaderKeyRow = new QHBoxLayout(leaderKey);
    const QString intervalTitle = QStringLiteral("Recognize single modifier typing within");
    auto* intervalLabel = oneLineLabel(intervalTitle, leaderKey);
    leaderKeyRow->addWidget(intervalLabel);
    leaderKeyRow->addStretch();
    intervalPicker_ = new QComboBox(leaderKey);
    // On X11 a combo box is read out by its current item; its label says what it is for.
    intervalLabel->setBuddy(intervalPicker_);
    intervalPicker_->setAccessibleName(intervalTitle);
    intervalPicker_->setAccessibleDescription(intervalTitle);
    intervalPicker_->setFixedWidth(142);
    // "%.2f" whatever the locale: the stored value is in seconds with a point.
    for (const double value : intervals())
        intervalPicker_->addItem(QString::number(value, 'f', 2) + QStringLiteral(" seconds"), value);
    connect(intervalPicker_, &QComboBox::activated, this, [this](int index) {
        const auto values = intervals();
        if (index < 0 || index >= static_cast<int>(values.size())) return;
        if (!settings::storePreference(settings::keys::maximumSingleModifierPressAndReleaseInterval,
                                       values[static_cast<std::size_t>(index)]))
            reload();
    });
    leaderKeyRow->addWidget(intervalPicker_);
    column->addWidget(leaderKey);

    auto* indicator = groupBox(QStringLiteral("Leader Key Indicator"), content);
    auto* indicatorColumn = new QVBoxLayout(indicator);
    indicatorSettings_ = new LeaderKeyIndicatorSettingsView(indicator);
    indicatorColumn->addWidget(indicatorSettings_);
    column->addWidget(indicator);

    auto* hint = groupBox(QStringLiteral("Hint"), content);
    auto* hintRow = new QHBoxLayout(hint);
    const QString hintTitle = QStringLiteral("Show Hint After Seconds:");
    auto* hintLabel = oneLineLabel(hintTitle, hint);
    hintRow->addWidget(hintLabel);
    hintRow->addStretch();
    hintField_ = new qt::LocaleDoubleField(QStringLiteral("1.2"), hint);
    hintField_->setMaximumWidth(36);
    hintField_->setAccessibleName(hintTitle);
    hintField_->setAccessibleDescription(hintTitle);
    hintField_->setValueHandler([this](double seconds) {
        if (!settings::storePreference(settings::keys::showHintAfterSeconds, seconds)) reload();
    });
    hintLabel->setBuddy(hintField_);
    hintRow->addWidget(hintField_);
    column->addWidget(hint);

    auto* app = groupBox(QStringLiteral("App"), content);
    auto* appRow = new QHBoxLayout(app);
    dockIconToggle_ = new QCheckBox(dockIconToggleTitle(), app);
    dockIconToggle_->setAccessibleName(dockIconToggle_->text());
    dockIconToggle_->setAccessibleDescription(dockIconToggle_->text());
    // Writing the setting re-applies the task-bar state to every window (the shell observes
    // the suite); the windows come forward once the window manager has taken it. Any way of
    // toggling counts (a click, the keyboard, an accessible Toggle); showing the stored value
    // stores nothing.
    connect(dockIconToggle_, &QCheckBox::toggled, this, [this](bool hidden) {
        if (hidden == settings::hideDockIcon()) return;
        if (!settings::storePreference(settings::keys::hideDockIcon, hidden)) return reload();
        QTimer::singleShot(100, this, [this] { bringWindowsToFront(); });
    });
    appRow->addWidget(dockIconToggle_);
    appRow->addStretch();
    column->addWidget(app);

    auto* helper = groupBox(QStringLiteral("Helper"), content);
    auto* helperColumn = new QVBoxLayout(helper);
    helperSection_ = new HelperStatusSection(helper);
    helperColumn->addWidget(helperSection_);
    column->addWidget(helper);
    column->addStretch();

    setWidget(content);
    reload();
}

QSize PreferencesContentView::sizeHint() const {
    if (!widget()) return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return (widget()->sizeHint() + QSize(frame, frame)).expandedTo(minimumSize());
}

void PreferencesContentView::reload() {
    const double interval = settings::maximumSingleModifierPressAndReleaseInterval();
    const auto values = intervals();
    int selected = -1;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] == interval) selected = static_cast<int>(i);
    intervalPicker_->setCurrentIndex(selected);
    hintField_->setValue(settings::showHintAfterSeconds());
    dockIconToggle_->setChecked(settings::hideDockIcon());
    indicatorSettings_->reload();
}

void PreferencesContentView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    reload();
    // No control starts with the keyboard focus. Qt hands it to the first control as the window
    // comes up and again when it is first activated (on X11 that comes later), so it is taken
    // back one turn after each.
    if (watchedWindow_ != window()) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    clearFocusOnActivation_ = true;
    clearFocusSoon();
}

bool PreferencesContentView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::WindowActivate && clearFocusOnActivation_) {
        clearFocusOnActivation_ = false;
        clearFocusSoon();
    }
    return QScrollArea::eventFilter(watched, event);
}

void PreferencesContentView::clearFocusSoon() {
    QTimer::singleShot(0, this, [this] {
        if (QWidget* focused = window()->focusWidget()) focused->clearFocus();
    });
}

std::vector<QWidget*> PreferencesContentView::windowsToBringToFront() {
    std::vector<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (!widget->isVisible() || (type != Qt::Window && type != Qt::Dialog)) continue;
        if (dynamic_cast<qt::QtIndicatorWindow*>(widget) || dynamic_cast<qt::QtInputWindow*>(widget)) continue;
        windows.push_back(widget);
    }
    return windows;
}

void PreferencesContentView::bringWindowsToFront() {
    for (QWidget* window : windowsToBringToFront()) window->raise();
    // Ours last, so the window the user toggled in stays in front and takes the keys.
    if (QWidget* own = window(); own->isVisible()) {
        own->raise();
        own->activateWindow();
    }
}

} // namespace tavlin::flateditor
