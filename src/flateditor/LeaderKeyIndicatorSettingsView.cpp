#include "flateditor/LeaderKeyIndicatorSettingsView.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include "model/Settings.h"
#include "platform/qt/LocaleDoubleField.h"
#include "platform/qt/PeopleWordsQt.h"

namespace tavlin::flateditor {

LeaderKeyIndicatorSettingsView::LeaderKeyIndicatorSettingsView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    const QString hideTitle = QStringLiteral("Hide Leader Key Indicator");
    hideToggle_ = new QCheckBox(hideTitle, this);
    hideToggle_->setAccessibleName(hideTitle);
    hideToggle_->setAccessibleDescription(hideTitle);
    layout->addWidget(hideToggle_);

    heightRow_ = new QWidget(this);
    auto* rowLayout = new QVBoxLayout(heightRow_);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto* fieldRow = new QHBoxLayout();
    const QString heightTitle = QStringLiteral("Custom Indicator Height (Screen Height Percent):");
    auto* label = new QLabel(heightTitle, heightRow_);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(heightTitle);
    heightField_ = new qt::LocaleDoubleField(QStringLiteral("0"), heightRow_);
    heightField_->setFixedWidth(36);
    heightField_->setAccessibleName(heightTitle);
    heightField_->setAccessibleDescription(heightTitle);
    label->setBuddy(heightField_);
    fieldRow->addWidget(label);
    fieldRow->addStretch();
    fieldRow->addWidget(heightField_);
    rowLayout->addLayout(fieldRow);
    const QString noteText = words::qt(words::indicatorHeightOfThePanel);
    auto* note = new QLabel(noteText, heightRow_);
    note->setTextFormat(Qt::PlainText);
    note->setAccessibleName(noteText);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);
    rowLayout->addWidget(note);
    layout->addWidget(heightRow_);

    // Any way of toggling counts; showing the stored value stores nothing.
    connect(hideToggle_, &QCheckBox::toggled, this, [this](bool hidden) {
        if (hidden == settings::hideLeaderKeyIndicator()) return;
        if (!settings::storePreference(settings::keys::hideLeaderKeyIndicator, hidden)) return reload();
        showHeightRow(!hidden);
    });
    heightField_->setValueHandler([this](double percent) {
        if (!settings::storePreference(settings::keys::leaderKeyIndicatorHeightPercent, percent)) reload();
    });
    reload();
}

void LeaderKeyIndicatorSettingsView::reload() {
    const bool hidden = settings::hideLeaderKeyIndicator();
    hideToggle_->setChecked(hidden);
    heightField_->setValue(settings::leaderKeyIndicatorHeightPercent());
    showHeightRow(!hidden);
}

void LeaderKeyIndicatorSettingsView::showHeightRow(bool shown) { heightRow_->setVisible(shown); }

} // namespace tavlin::flateditor
