#include "actionediting/ConfigurationLeaderKeyView.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include "platform/qt/QtText.h"
#include "shortcutkit/ShortcutStore.h"
#include "shortcutkit/qt/RecorderControl.h"

namespace tavlin {

namespace {
using Kind = LeaderKeyEditorState::Kind;

LeaderKeyEditorState::ShortcutStore storeOf(const shortcutkit::Name& name) {
    return {[name] { return shortcutkit::getShortcut(name); },
            [name](const std::optional<shortcutkit::Shortcut>& shortcut) { shortcutkit::setShortcut(shortcut, name); }};
}

// Tab enters a group on its checked button, and Space there changes nothing; the arrows move
// (and check) within the group, whatever the other buttons' focus policy.
void tabOnlyToChecked(const QButtonGroup& group) {
    const QList<QAbstractButton*> buttons = group.buttons();
    const QAbstractButton* entry = group.checkedButton() ? group.checkedButton() : buttons.value(0);
    for (QAbstractButton* button : buttons) button->setFocusPolicy(button == entry ? Qt::StrongFocus : Qt::ClickFocus);
}
} // namespace

ConfigurationLeaderKeyView::ConfigurationLeaderKeyView(shortcutkit::Name shortcutNameForDisplay,
                                                       const std::optional<HotKey>& initialHotKey,
                                                       DidChangeHandler didChangeHandler,
                                                       RecorderFocusedHandler recorderFocusedHandler, QWidget* parent)
    : QGroupBox(parent), state_(storeOf(shortcutNameForDisplay), initialHotKey, std::move(didChangeHandler)) {
    setAccessibleName(QStringLiteral("Leader Key Editor"));
    auto* layout = new QVBoxLayout(this);

    auto* kinds = new QHBoxLayout();
    comboButton_ = new QRadioButton(qt::qString(LeaderKeyEditorState::title(Kind::combo)), this);
    singleModifierButton_ = new QRadioButton(qt::qString(LeaderKeyEditorState::title(Kind::singleModifier)), this);
    kindGroup_ = new QButtonGroup(this);
    kindGroup_->addButton(comboButton_, static_cast<int>(Kind::combo));
    kindGroup_->addButton(singleModifierButton_, static_cast<int>(Kind::singleModifier));
    for (auto* button : {comboButton_, singleModifierButton_}) {
        button->setAccessibleName(button->text());
        kinds->addWidget(button);
    }
    kinds->addStretch();
    kinds_ = kinds;
    layout->addLayout(kinds);
    // Every way of choosing (a click, the keyboard, an accessible Toggle) checks a button; refresh()
    // sets them with the groups' signals blocked, so what the code shows reports nothing.
    connect(kindGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked) return;
        state_.kindChanged(static_cast<Kind>(id));
        refresh();
        if (static_cast<Kind>(id) == Kind::other && otherChosen_) otherChosen_();
    });

    editors_ = new QStackedWidget(this);
    recorder_ = new shortcutkit::RecorderControl(
        std::move(shortcutNameForDisplay),
        [this](const std::optional<shortcutkit::Shortcut>& shortcut) {
            state_.recorderChanged(shortcut);
            refresh();
        },
        editors_);
    recorder_->setAccessibleName(QStringLiteral("Leader Key Shortcut"));
    connect(recorder_, &shortcutkit::RecorderControl::focusChanged, this,
            [handler = std::move(recorderFocusedHandler)](bool focused) {
                if (handler) handler(focused);
            });
    auto* recorderPage = new QWidget(editors_);
    auto* recorderRow = new QHBoxLayout(recorderPage);
    recorderRow->setContentsMargins(0, 0, 0, 0);
    recorderRow->addWidget(recorder_);
    recorderRow->addStretch();
    editors_->addWidget(recorderPage);

    auto* modifierPage = new QWidget(editors_);
    auto* modifierRow = new QHBoxLayout(modifierPage);
    modifierRow->setContentsMargins(0, 0, 0, 0);
    modifierRow->setSpacing(0);
    modifierGroup_ = new QButtonGroup(this);
    modifierGroup_->setExclusive(true);
    for (const auto modifier : allSingleTapModifiers) {
        // Auto-exclusive checkable push buttons are announced as the radio buttons they are.
        auto* button = new QPushButton(qt::qString(LeaderKeyEditorState::label(modifier)), modifierPage);
        button->setAccessibleName(button->text());
        button->setCheckable(true);
        button->setAutoExclusive(true);
        button->setAutoDefault(false);
        modifierGroup_->addButton(button, static_cast<int>(modifier));
        modifierRow->addWidget(button);
    }
    modifierRow->addStretch();
    editors_->addWidget(modifierPage);
    connect(modifierGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked) return;
        state_.modifierChanged(static_cast<HotKey::SingleTapModifier>(id));
        refresh();
    });
    layout->addWidget(editors_);
    refresh();
}

QPushButton* ConfigurationLeaderKeyView::modifierButton(HotKey::SingleTapModifier modifier) const {
    return static_cast<QPushButton*>(modifierGroup_->button(static_cast<int>(modifier)));
}

void ConfigurationLeaderKeyView::offerOtherLeaderKey(const QString& title, std::function<void()> chosen) {
    otherButton_ = new QRadioButton(title, this);
    otherButton_->setAccessibleName(title);
    kindGroup_->addButton(otherButton_, static_cast<int>(Kind::other));
    kinds_->insertWidget(kinds_->count() - 1, otherButton_);
    otherChosen_ = std::move(chosen);
    state_.kindChanged(Kind::other);
    refresh();
}

QRadioButton* ConfigurationLeaderKeyView::checkedKindButton() const {
    return static_cast<QRadioButton*>(kindGroup_->button(static_cast<int>(state_.kind())));
}

void ConfigurationLeaderKeyView::refresh() {
    const QSignalBlocker kindBlocker(kindGroup_);
    const QSignalBlocker modifierBlocker(modifierGroup_);
    const Kind kind = state_.kind();
    checkedKindButton()->setChecked(true);
    modifierButton(state_.modifier())->setChecked(true);
    // The held key has no editor of its own.
    if (otherButton_) editors_->setVisible(kind != Kind::other);
    editors_->setCurrentIndex(kind == Kind::combo ? 0 : 1);
    tabOnlyToChecked(*kindGroup_);
    tabOnlyToChecked(*modifierGroup_);
}

void ConfigurationLeaderKeyView::sync(const std::optional<HotKey>& hotKey) {
    state_.sync(hotKey);
    refresh();
}

} // namespace tavlin
