#include "configwindow/ActionComposeSheet.h"

#include <algorithm>

#include <QtCore/QTimer>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/ActionKindEditors.h"
#include "configwindow/SafeTextDocument.h"
#include "engine/ui/MarkdownText.h"
#include "model/LaidOutText.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/qt/FieldWidth.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/QtText.h"

namespace tavlin {

namespace {
// Typing into a long description re-renders it after a pause, not at every key.
constexpr int previewDelayMilliseconds = 150;
} // namespace

ActionComposeSheet::ActionComposeSheet(ActionSheetItem item, QWidget* parent)
    : SheetFrame(QStringLiteral("Action"), {}, parent), item_(std::move(item)), currentKind_(item_.startKind()),
      params_(item_.paramsByKind) {
    if (item_.isReadOnly()) buildReadOnly();
    else buildEditor();
}

void ActionComposeSheet::buildReadOnly() {
    const auto& old = std::get<ActionSheetItem::Edit>(item_.changeKind).oldAction;
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Readonly Action:"), this);
    auto* description = new QLabel(qt::qString(laidOutPart(old.kind.shownText())), this);
    description->setTextFormat(Qt::PlainText);
    for (QLabel* label : {title, description}) {
        label->setForegroundRole(QPalette::PlaceholderText);
        label->setAccessibleName(label->text());
        layout->addWidget(label);
    }
    layout->addLayout(makeButtons(false, true));
}

void ActionComposeSheet::buildEditor() {
    auto* layout = new QVBoxLayout(this);

    auto* kindRow = new QHBoxLayout();
    auto* kindLabel = new QLabel(QStringLiteral("Kind: "), this);
    kindPicker_ = new QComboBox(this);
    kindPicker_->setAccessibleName(QStringLiteral("Kind"));
    kindLabel->setBuddy(kindPicker_);
    for (const auto kind : item_.allKinds) kindPicker_->addItem(qt::qString(title(kind)), static_cast<int>(kind));
    // A kind not offered now (an experimental one being edited) shows as a blank choice.
    kindPicker_->setCurrentIndex(kindPicker_->findData(static_cast<int>(currentKind_)));
    connect(kindPicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        currentKind_ = static_cast<ActionConfigurationKind>(kindPicker_->itemData(index).toInt());
        rebuildFields();
        orderTabs();
        paramsChanged();
        fitHeight();
    });
    kindRow->addWidget(kindLabel);
    kindRow->addWidget(kindPicker_, 1);
    layout->addLayout(kindRow);

    fieldsSlot_ = new QVBoxLayout();
    layout->addLayout(fieldsSlot_);
    rebuildFields();

    auto* descriptionLabel = new QLabel(QStringLiteral("Action Description (Support Markdown/HTML)"), this);
    descriptionField_ = new QLineEdit(this);
    descriptionField_->setAccessibleName(descriptionLabel->text());
    descriptionField_->setPlaceholderText(descriptionLabel->text());
    qt::keepPlaceholderWhole(*descriptionField_);
    descriptionField_->setText(qt::qString(item_.actionDescription));
    descriptionLabel->setBuddy(descriptionField_);
    layout->addWidget(descriptionLabel);
    layout->addWidget(descriptionField_);

    preview_ = new QTextEdit(this);
    preview_->setDocument(new SafeTextDocument(preview_));
    preview_->setReadOnly(true);
    preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    preview_->setAccessibleName(QStringLiteral("Description Preview"));
    preview_->setFixedHeight(preview_->fontMetrics().height() * 4);
    layout->addWidget(preview_);
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(previewDelayMilliseconds);
    connect(previewTimer_, &QTimer::timeout, this, &ActionComposeSheet::updatePreview);
    connect(descriptionField_, &QLineEdit::textChanged, this, [this] {
        previewTimer_->start();
        paramsChanged();
    });
    updatePreview();

    layout->addLayout(makeButtons(true, false));
    orderTabs();
    paramsChanged();
}

// Top to bottom, as the sheet reads: a kind's fields are made anew at each change of kind and
// would otherwise come after Cancel.
void ActionComposeSheet::orderTabs() {
    if (!saveButton()) return;
    qt::chainFocus({kindPicker_, fieldsEditor_, descriptionField_, preview_, saveButton(), cancelButton()});
}

void ActionComposeSheet::rebuildFields() {
    delete fieldsEditor_;
    fieldsEditor_ = nullptr;
    if (const auto found = params_.find(currentKind_); found != params_.end()) {
        ParamsEditorContext context;
        context.kind = currentKind_;
        context.params = found->second;
        context.helperRunning = isHelperRunning();
        context.rules = treeEditorRules;
        context.setParams = [this](const ActionParams& changed, ActionConfigurationKind kind) {
            params_.insert_or_assign(kind, changed);
            paramsChanged();
        };
        fieldsEditor_ = makeParamsEditor(context);
    }
    // A kind without fields shows nothing.
    if (!fieldsEditor_) fieldsEditor_ = new QWidget();
    fieldsEditor_->setParent(this);
    fieldsSlot_->addWidget(fieldsEditor_);
}

void ActionComposeSheet::fitHeight() {
    if (!isVisible()) return;
    layout()->activate();
    const int width = std::max(this->width(), minimumSizeHint().width());
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : sizeHint().height();
    resize(width, std::max(height, minimumSizeHint().height()));
}

void ActionComposeSheet::paramsChanged() {
    if (!saveButton()) return;
    saveButton()->setEnabled(makeAction(descriptionField_->text().toStdString(), currentKind_, params_).has_value());
}

void ActionComposeSheet::updatePreview() {
    if (!preview_) return;
    preview_->setHtml(markdownHtml(descriptionField_->text().toStdString()));
    // Nothing to read or select in an empty preview: Tab passes it by.
    const Qt::FocusPolicy policy = descriptionField_->text().isEmpty() ? Qt::NoFocus : Qt::StrongFocus;
    if (policy == preview_->focusPolicy()) return;
    preview_->setFocusPolicy(policy);
    orderTabs();
}

void ActionComposeSheet::save() {
    const auto action = makeAction(descriptionField_->text().toStdString(), currentKind_, params_);
    if (!action) return;
    if (item_.newActionHandler) item_.newActionHandler(*action);
    accept();
}

} // namespace tavlin
