#include "configwindow/PatternComposeSheet.h"

#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/KeyTypeAhead.h"
#include "model/KeyNames.h"
#include "platform/qt/QtText.h"
#include "platform/text/Regex.h"

namespace tavlin {

namespace {
using PK = Pattern::ConfigurationKind;
} // namespace

PatternComposeSheet::PatternComposeSheet(PatternSheetItem item, QWidget* parent)
    : SheetFrame(QStringLiteral("Pattern"), {}, parent), item_(std::move(item)), currentKind_(item_.startKind()),
      params_(item_.paramsByKind) {
    auto* layout = new QVBoxLayout(this);

    auto* kindRow = new QHBoxLayout();
    auto* kindLabel = new QLabel(QStringLiteral("Kind: "), this);
    kindPicker_ = new QComboBox(this);
    kindPicker_->setAccessibleName(QStringLiteral("Kind"));
    kindLabel->setBuddy(kindPicker_);
    for (const PK kind : item_.allPatternKinds) kindPicker_->addItem(qt::qString(patternKindTitle(kind)), static_cast<int>(kind));
    kindPicker_->setCurrentIndex(kindPicker_->findData(static_cast<int>(currentKind_)));
    connect(kindPicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        currentKind_ = static_cast<PK>(kindPicker_->itemData(index).toInt());
        showEditor();
    });
    kindRow->addWidget(kindLabel);
    kindRow->addWidget(kindPicker_, 1);
    layout->addLayout(kindRow);

    editors_ = new QStackedWidget(this);
    keyEditor_ = new QWidget(editors_);
    auto* keyRow = new QHBoxLayout(keyEditor_);
    keyRow->setContentsMargins(0, 0, 0, 0);
    auto* keyLabel = new QLabel(QStringLiteral("Key: "), keyEditor_);
    keyPicker_ = new QComboBox(keyEditor_);
    keyPicker_->setAccessibleName(QStringLiteral("Key"));
    keyLabel->setBuddy(keyPicker_);
    for (const int code : sortedAvailableKeyCodes()) keyPicker_->addItem(qt::qString(shownKeyName(code)), code);
    installKeyTypeAhead(*keyPicker_);
    keyList_ = new QLabel(keyEditor_);
    keyList_->setTextFormat(Qt::PlainText);
    keyRow->addWidget(keyLabel);
    keyRow->addWidget(keyPicker_, 1);
    keyRow->addWidget(keyList_, 1);
    connect(keyPicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        params_[PK::key] = {PatternParams::key{{keyPicker_->itemData(index).toInt()}}};
        update();
    });

    messageEditor_ = new QWidget(editors_);
    auto* messageColumn = new QVBoxLayout(messageEditor_);
    messageColumn->setContentsMargins(0, 0, 0, 0);
    regexField_ = new QLineEdit(messageEditor_);
    regexField_->setPlaceholderText(QStringLiteral("Regular Expression"));
    regexField_->setAccessibleName(QStringLiteral("Regular Expression"));
    // Read out under its own text, and as the field's description while the field has the focus.
    regexProblem_ = new QLabel(messageEditor_);
    regexProblem_->setTextFormat(Qt::PlainText);
    regexProblem_->setWordWrap(true);
    messageColumn->addWidget(regexField_);
    messageColumn->addWidget(regexProblem_);
    if (const auto* message = std::get_if<PatternParams::message>(&params_[PK::message].value))
        regexField_->setText(qt::qString(message->regex));
    connect(regexField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        params_[PK::message] = {PatternParams::message{text.toStdString()}};
        update();
    });

    noEditor_ = new QWidget(editors_);
    editors_->addWidget(keyEditor_);
    editors_->addWidget(messageEditor_);
    editors_->addWidget(noEditor_);
    layout->addWidget(editors_);

    layout->addLayout(makeButtons(true, true));
    showEditor();
}

void PatternComposeSheet::showEditor() {
    if (currentKind_ == PK::key) {
        editors_->setCurrentWidget(keyEditor_);
        const auto* key = std::get_if<PatternParams::key>(&params_[PK::key].value);
        const bool single = key && key->allowedKeyCodes.size() == 1;
        keyPicker_->setVisible(single);
        keyList_->setVisible(!single);
        if (single) {
            const QSignalBlocker blocker(keyPicker_);
            keyPicker_->setCurrentIndex(keyPicker_->findData(QVariant::fromValue<qlonglong>(key->allowedKeyCodes.front())));
        } else {
            // Several keys (or none) cannot be changed here; Save keeps them.
            QStringList names;
            for (const auto& name : shownKeyNames(key ? key->allowedKeyCodes : std::vector<std::int64_t>{}))
                names << qt::qString(quotedText(name));
            keyList_->setText(QLatin1Char('[') + names.join(QStringLiteral(", ")) + QLatin1Char(']'));
            keyList_->setAccessibleName(keyList_->text());
        }
    } else if (currentKind_ == PK::message) {
        editors_->setCurrentWidget(messageEditor_);
    } else {
        editors_->setCurrentWidget(noEditor_);
    }
    update();
}

void PatternComposeSheet::update() {
    // An expression that does not compile is saved as typed all the same; the reason is shown.
    std::string reason;
    if (const auto* message = std::get_if<PatternParams::message>(&params_[PK::message].value))
        if (!message->regex.empty()) Regex::compile(message->regex, nullptr, &reason);
    const QString problem = reason.empty() ? QString()
                                           : QStringLiteral("This regular expression is invalid: %1.").arg(qt::qString(reason));
    const bool changed = problem != regexProblem_->text();
    regexProblem_->setText(problem);
    regexProblem_->setVisible(!problem.isEmpty());
    regexField_->setAccessibleDescription(problem);
    // The reason wraps, and the sheet grows to show all of its lines.
    if (changed && isVisible()) adjustSize();
    saveButton()->setEnabled(params_.count(currentKind_) || currentKind_ == PK::alwaysMatch);
}

void PatternComposeSheet::save() {
    const auto pattern = makePattern(currentKind_, params_);
    if (!pattern) return;
    if (item_.newPatternHandler) item_.newPatternHandler(*pattern);
    accept();
}

} // namespace tavlin
