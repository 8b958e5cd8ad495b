#include "flateditor/RowComposeSheetDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "actionediting/ActionKindEditors.h"
#include "actionediting/ConfigurationLeaderKeyView.h"
#include "actionediting/PathChooser.h"
#include "actionediting/SheetGroup.h"
#include "engine/ShellServices.h"
#include "flateditor/ActionDescriptionEditorView.h"
#include "flateditor/ApplicationScopeEditorView.h"
#include "flateditor/TriggerKeyEditorView.h"
#include "model/LaidOutText.h"
#include "model/Settings.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"
#include "shortcutkit/qt/RecorderControl.h"

namespace tavlin::flateditor {
namespace {

int scopeKindIndex(ApplicationScopeKind kind) {
    for (int i = 0; i < 3; ++i)
        if (allApplicationScopeKinds[i] == kind) return i;
    return 0;
}

// The sheet's content, scrolled when the screen is too small for it: its hint is the whole
// content (not the scroll area's bounded one), which the sheet then bounds by its screen.
class ContentScroller final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

// The sheet open now, closed when the list asks for another.
QPointer<RowComposeSheetDialog>& openSheet() {
    static QPointer<RowComposeSheetDialog> sheet;
    return sheet;
}

} // namespace

RowComposeSheet::Presenter RowComposeSheetDialog::presenter(std::function<QWidget*()> parent) {
    return [parent = std::move(parent)](const RowComposeSheet::ChangeKind& changeKind, RowComposeSheet::RowSaved rowSaved) {
        if (auto& open = openSheet()) open->reject();
        auto* sheet = new RowComposeSheetDialog(RowComposeSheet::SheetItem(changeKind, std::move(rowSaved)),
                                                parent ? parent() : nullptr);
        openSheet() = sheet;
        sheet->open();
    };
}

RowComposeSheetDialog::RowComposeSheetDialog(RowComposeSheet::SheetItem item, QWidget* parent)
    // Return saves nothing: no button of the sheet is ever the default one.
    : SheetFrame(QStringLiteral("Key Binding"), {.returnSaves = false, .controlSSaves = true}, parent), state_(std::move(item)),
      store_(settings::appGroupStore()) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The content scrolls and the buttons below it stay: a sheet taller than the screen would
    // put Save out of reach.
    auto* outer = new QVBoxLayout(this);
    scroller_ = new ContentScroller(this);
    scroller_->setAccessibleName(QStringLiteral("Key Binding"));
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);
    content_ = new QWidget(scroller_);
    auto* layout = new QVBoxLayout(content_);
    layout->setContentsMargins(0, 0, 0, 0);
    scroller_->setWidget(content_);
    content_->installEventFilter(this);
    outer->addWidget(scroller_, 1);

    auto* scopeGroup = new SheetGroup(QStringLiteral("Available in the applications:"), this);
    scopeGroup_ = scopeGroup;
    auto* scopeLayout = scopeGroup->contentLayout();
    std::vector<std::string> scopeTitles;
    for (const auto kind : allApplicationScopeKinds) scopeTitles.emplace_back(title(kind));
    scopeEditor_ = new ApplicationScopeEditorView(
        scopeTitles,
        {[this](int index) {
             state_.scopeEditor().setKind(allApplicationScopeKinds[index]);
             showScope();
             showConflict();
         },
         [this] {
             const auto path = choosePath(PathChooserKind::application, state_.scopeEditor().chooserFolder(), rowEditorRules);
             if (!path) return;
             state_.scopeEditor().addApplication(*path);
             showScope();
             showConflict();
         },
         [this] {
             state_.scopeEditor().removeSelectedApplication();
             showScope();
             showConflict();
         },
         [this](const std::optional<std::string>& path) {
             // Not built again within its own selection change.
             state_.scopeEditor().select(path);
             scopeEditor_->removeButton()->setEnabled(state_.scopeEditor().canRemove());
         }},
        scopeGroup_);
    scopeLayout->addWidget(scopeEditor_);
    layout->addWidget(scopeGroup_);

    auto* leaderKeyGroup = new SheetGroup(QStringLiteral("Leader key:\n(the first key / key combination you press)"), this);
    leaderKeyGroup_ = leaderKeyGroup;
    leaderKeyGroup_->setAccessibleName(QStringLiteral("Leader key:"));
    auto* leaderLayout = leaderKeyGroup->contentLayout();
    // Made once and kept while hidden: made again it would show the initial key, not the one
    // that will be saved, and store that key under its name.
    leaderKeyEditor_ = new ConfigurationLeaderKeyView(
        shortcutkit::Name("sl-prefs-flat-row"), state_.leaderKeyView().optionForPress(),
        [this](const std::optional<HotKey>& hotKey) {
            // Reports come from the combination and the modifier only: a held key is given up.
            if (state_.leaderKeyView().currentKind() == LeaderKey::Kind::hold) state_.leaderKeyHeldChanged(false);
            state_.leaderKeyHotKeyChanged(hotKey);
            triggerKeysTitle_->setText(qt::qString(state_.triggerKeysTitle()));
            showConflict();
        },
        [this](bool focused) { state_.recorderFocusChanged(focused); }, leaderKeyGroup_);
    // A held leader key is shown as what it is, and kept unless another kind is chosen.
    if (const auto* hold = state_.leaderKeyView().initialLeaderKey().holdInfo()) {
        leaderKeyEditor_->offerOtherLeaderKey(qt::qString(heldLeaderKeyTitle(*hold)), [this] {
            state_.leaderKeyHeldChanged(true);
            triggerKeysTitle_->setText(qt::qString(state_.triggerKeysTitle()));
            showConflict();
        });
    }
    leaderLayout->addWidget(leaderKeyEditor_);
    layout->addWidget(leaderKeyGroup_);

    auto* triggerKeysGroup = new SheetGroup(QString(), this);
    triggerKeysGroup_ = triggerKeysGroup;
    triggerKeysGroup_->setAccessibleName(QStringLiteral("Action trigger keys:"));
    auto* triggerLayout = triggerKeysGroup->contentLayout();
    triggerKeysTitle_ = triggerKeysGroup->titleLabel();
    triggerKeysTitle_->setVisible(true);
    triggerKeys_ = new TriggerKeyEditorView(triggerKeyPickerItems(state_.currentKeys().empty()),
                                            {[this](std::int64_t keyCode) {
                                                 state_.appendKey(keyCode);
                                                 keysChanged();
                                             },
                                             [this](std::size_t position) {
                                                 state_.deleteKey(position);
                                                 keysChanged();
                                                 triggerKeys_->picker()->setFocus(Qt::OtherFocusReason);
                                             },
                                             [this] {
                                                 state_.deleteAllKeys();
                                                 keysChanged();
                                                 triggerKeys_->picker()->setFocus(Qt::OtherFocusReason);
                                             }},
                                            triggerKeysGroup_);
    triggerLayout->addWidget(triggerKeys_);
    layout->addWidget(triggerKeysGroup_);

    if (state_.isReadOnly()) buildReadOnly(layout, outer);
    else buildEditable(layout, outer);

    showScope();
    showKeys();
    showConflict();
    showValidation();
    showComplexMode();

    // The conflict text reads the stored rows, which another process may change meanwhile.
    const QPointer<RowComposeSheetDialog> self(this);
    storeObserver_ = store_->addObserver([self] {
        if (self) self->showConflict();
    });
}

RowComposeSheetDialog::~RowComposeSheetDialog() {
    store_->removeObserver(storeObserver_);
    state_.closed();
    content_->removeEventFilter(this);
    // The controls report to the state, which goes before QWidget deletes them.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void RowComposeSheetDialog::buildReadOnly(QVBoxLayout* layout, QVBoxLayout* outer) {
    for (const QString& text :
         {QStringLiteral("Readonly Action:"), qt::qString(laidOutPart(state_.readOnlyActionDescription()))}) {
        QLabel* label = qt::plainLabel(text, this);
        label->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(label);
    }
    outer->addLayout(makeButtons(false, false));
}

void RowComposeSheetDialog::buildEditable(QVBoxLayout* layout, QVBoxLayout* outer) {
    auto* actionGroup = new SheetGroup(QStringLiteral("Action:"), this);
    auto* actionLayout = actionGroup->contentLayout();
    auto* kindRow = new QHBoxLayout();
    auto* kindLabel = qt::plainLabel(QStringLiteral("Kind: "), actionGroup);
    kindPicker_ = new QComboBox(actionGroup);
    kindPicker_->setAccessibleName(QStringLiteral("Kind"));
    kindLabel->setBuddy(kindPicker_);
    for (const auto kind : state_.sheetItem().allKinds) kindPicker_->addItem(qt::qString(title(kind)), static_cast<int>(kind));
    // A kind the picker does not offer (one being edited) shows as a blank choice and still works.
    kindPicker_->setCurrentIndex(kindPicker_->findData(static_cast<int>(state_.currentKind())));
    connect(kindPicker_, &QComboBox::activated, this, [this](int index) {
        if (index < 0) return;
        const auto kind = static_cast<ActionConfigurationKind>(kindPicker_->itemData(index).toInt());
        if (kind == state_.currentKind()) return;
        state_.setCurrentKind(kind);
        rebuildParamsEditor();
    });
    kindRow->addWidget(kindLabel);
    kindRow->addWidget(kindPicker_);
    kindRow->addStretch(1);
    actionLayout->addLayout(kindRow);
    paramsSlot_ = new QVBoxLayout();
    actionLayout->addLayout(paramsSlot_);
    descriptionEditor_ = new ActionDescriptionEditorView(
        state_.actionDescription(), [this](const std::string& text) { state_.setActionDescription(text); }, actionGroup);
    actionLayout->addWidget(descriptionEditor_);
    layout->addWidget(actionGroup);

    validationLabel_ = new QLabel(this);
    validationLabel_->setTextFormat(Qt::PlainText);
    QPalette red = validationLabel_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    validationLabel_->setPalette(red);
    QFont small = validationLabel_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    validationLabel_->setFont(small);
    // Below the content, so that a failed save shows why however the content is scrolled.
    outer->addWidget(validationLabel_);

    complexModeToggle_ = new QCheckBox(QStringLiteral("Complex Mode"), this);
    complexModeToggle_->setAccessibleName(complexModeToggle_->text());
    complexModeToggle_->setChecked(state_.complexMode());
    connect(complexModeToggle_, &QCheckBox::toggled, this, [this](bool on) {
        state_.setComplexMode(on);
        showComplexMode();
        rebuildParamsEditor();
    });
    outer->addLayout(makeButtons(true, false, complexModeToggle_));

    rebuildParamsEditor();
}

void RowComposeSheetDialog::keysChanged() {
    showKeys();
    showConflict();
    showValidation();
}

void RowComposeSheetDialog::showKeys() {
    triggerKeys_->setKeys(state_.currentKeys());
    orderTabs();
    relayout();
}

void RowComposeSheetDialog::showConflict() {
    triggerKeys_->setConflictMessage(state_.keyBindingConflictText());
    relayout();
}

void RowComposeSheetDialog::showScope() {
    const auto& scope = state_.scopeEditor();
    scopeEditor_->setScope(scopeKindIndex(scope.kind()), scope.paths(), scope.selectedPath());
    relayout();
}

void RowComposeSheetDialog::showValidation() {
    if (!validationLabel_) return;
    const auto text = state_.visibleValidationText();
    validationLabel_->setVisible(text.has_value());
    validationLabel_->setText(text ? qt::qString(*text) : QString());
    validationLabel_->setAccessibleName(validationLabel_->text());
    relayout();
}

void RowComposeSheetDialog::showComplexMode() {
    const bool on = state_.complexMode();
    scopeGroup_->setVisible(on);
    leaderKeyGroup_->setVisible(on);
    if (descriptionEditor_) descriptionEditor_->setVisible(on);
    if (complexModeToggle_) {
        complexModeToggle_->setToolTip(on ? QStringLiteral("Click to show less settings")
                                          : QStringLiteral("Click to show more settings"));
        complexModeToggle_->setAccessibleDescription(complexModeToggle_->toolTip());
    }
    triggerKeysTitle_->setText(qt::qString(state_.triggerKeysTitle()));
    triggerKeysGroup_->setAccessibleDescription(triggerKeysTitle_->text());
    relayout();
}

void RowComposeSheetDialog::rebuildParamsEditor() {
    if (!paramsSlot_) return;
    paramsFocusTargets_.clear();
    delete paramsEditor_;
    paramsEditor_ = nullptr;
    const auto kind = state_.currentKind();
    if (const ActionParams* params = state_.params(kind)) {
        ParamsEditorContext context;
        context.kind = kind;
        context.params = *params;
        context.complexMode = state_.complexMode();
        context.helperRunning = isHelperRunning();
        context.setParams = [this](const ActionParams& changed, ActionConfigurationKind changedKind) {
            state_.setParams(changed, changedKind);
        };
        context.registerFocusTarget = [this](ActionFieldError error, QWidget* widget) {
            if (const auto target = field(ValidationError(error))) paramsFocusTargets_[*target] = widget;
        };
        paramsEditor_ = makeParamsEditor(context);
    }
    if (paramsEditor_) {
        paramsSlot_->addWidget(paramsEditor_);
        for (auto* button : paramsEditor_->findChildren<QPushButton*>()) button->setAutoDefault(false);
    }
    orderTabs();
}

QWidget* RowComposeSheetDialog::focusTarget(RowComposeSheet::Field field) const {
    using Field = RowComposeSheet::Field;
    switch (field) {
    case Field::leaderKeySetting:
        // The kind selector: focusing the recorder would switch every leader key off.
        return leaderKeyEditor_->checkedKindButton();
    case Field::newKeyToAppendPicker: return triggerKeys_->picker();
    case Field::keyBindingConflictMessage: return triggerKeys_->conflictLabel();
    default: {
        const auto found = paramsFocusTargets_.find(field);
        return found == paramsFocusTargets_.end() ? nullptr : found->second;
    }
    }
}

void RowComposeSheetDialog::focus(RowComposeSheet::Field field) {
    QWidget* target = focusTarget(field);
    if (!target) return;
    target->setFocus(Qt::OtherFocusReason);
    scroller_->ensureWidgetVisible(target);
}

void RowComposeSheetDialog::fitToScreen(bool force) {
    const QSize wanted = sizeHint();
    // A size the user chose stays until the content changes.
    if (!force && wanted == fittedHint_) return;
    fittedHint_ = wanted;
    const QRect available = screen()->availableGeometry();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QSize size = wanted;
    const int room = available.height() - frame.top() - frame.bottom();
    if (size.height() > room) {
        size.setHeight(room);
        size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroller_->verticalScrollBar());
    }
    size.setWidth(std::min(size.width(), available.width() - frame.left() - frame.right()));
    resize(size);
    if (!isVisible()) return;
    const QRect placed = frameGeometry();
    const int x = std::clamp(placed.x(), available.left(), std::max(available.left(), available.right() + 1 - placed.width()));
    const int y = std::clamp(placed.y(), available.top(), std::max(available.top(), available.bottom() + 1 - placed.height()));
    if (QPoint(x, y) != placed.topLeft()) move(x, y);
}

void RowComposeSheetDialog::relayout() {
    if (!isVisible()) return;
    content_->layout()->activate();
    scroller_->updateGeometry();
    layout()->activate();
    fitToScreen(false);
}

bool RowComposeSheetDialog::event(QEvent* event) {
    const bool handled = SheetFrame::event(event);
    switch (event->type()) {
    case QEvent::LayoutRequest:
        if (isVisible()) fitToScreen(false);
        break;
    case QEvent::WindowActivate:
        // The window manager's frame is known once the window is on screen.
        if (!framedOnce_ && windowHandle() && !windowHandle()->frameMargins().isNull()) {
            framedOnce_ = true;
            fitToScreen(true);
        }
        break;
    default: break;
    }
    return handled;
}

bool RowComposeSheetDialog::eventFilter(QObject* watched, QEvent* event) {
    // The content changed its size: the sheet takes the new size at its next layout.
    if (watched == content_ && event->type() == QEvent::LayoutRequest) scroller_->updateGeometry();
    return SheetFrame::eventFilter(watched, event);
}

// Top to bottom, as the sheet reads; key buttons are made anew at each change and would
// otherwise come last.
void RowComposeSheetDialog::orderTabs() {
    std::vector<QWidget*> chain;
    const auto add = [&chain](QWidget* widget) {
        if (widget) chain.push_back(widget);
    };
    const auto addFocusable = [&chain](QWidget* parent) {
        if (!parent) return;
        for (QWidget* child : parent->findChildren<QWidget*>())
            if (child->focusPolicy() & Qt::TabFocus) chain.push_back(child);
    };
    addFocusable(scopeEditor_);
    // The recorder takes focus only from its second turn on screen; its place is fixed now.
    add(leaderKeyEditor_->comboButton());
    add(leaderKeyEditor_->singleModifierButton());
    add(leaderKeyEditor_->otherButton());
    add(leaderKeyEditor_->recorder());
    add(leaderKeyEditor_->recorder()->clearButton());
    for (const auto modifier : allSingleTapModifiers) add(leaderKeyEditor_->modifierButton(modifier));
    for (QPushButton* button : triggerKeys_->keyButtons()) add(button);
    add(triggerKeys_->picker());
    add(triggerKeys_->deleteAllButton());
    add(triggerKeys_->conflictLabel());
    add(kindPicker_);
    addFocusable(paramsEditor_);
    if (descriptionEditor_) add(descriptionEditor_->field());
    add(complexModeToggle_);
    add(saveButton());
    add(cancelButton());
    for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void RowComposeSheetDialog::showEvent(QShowEvent* event) {
    // Sized before the dialog places itself over its parent, which keeps it on the screen.
    if (!shownOnce_) fitToScreen(true);
    SheetFrame::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    if (const auto& openHelper = ShellServices::shared().openHelperApplication) openHelper();
    focus(RowComposeSheet::Field::newKeyToAppendPicker);
}

void RowComposeSheetDialog::save() {
    if (state_.isReadOnly()) return;
    const RowSaveResult result = state_.save();
    if (result.closes) {
        accept();
        return;
    }
    showValidation();
    showConflict();
    if (result.focus) focus(*result.focus);
}

void RowComposeSheetDialog::reject() {
    // Before the recorder can lose its focus with the window: the reload is made once.
    if (state_.isReadOnly()) state_.closed();
    else state_.cancel();
    SheetFrame::reject();
}

void RowComposeSheetDialog::done(int result) {
    state_.closed();
    SheetFrame::done(result);
}

} // namespace tavlin::flateditor
