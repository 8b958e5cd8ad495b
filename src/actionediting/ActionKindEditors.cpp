#include "actionediting/ActionKindEditors.h"

#include <type_traits>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "actionediting/InputMethodList.h"
#include "actionediting/KeystrokeEditor.h"
#include "actionediting/PathChooser.h"
#include "actionediting/PathRow.h"
#include "actionediting/core/ActionKinds.h"
#include "engine/InputSources.h"
#include "model/FileHelper.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileUrl.h"
#include "platform/qt/FieldWidth.h"
#include "platform/qt/LocaleDoubleField.h"
#include "platform/qt/PeopleWordsQt.h"
#include "platform/qt/QtText.h"

namespace tavlin {
namespace {

using ChooserKind = PathChooserKind;
namespace p = actionparams;

QString qString(const std::string& text) { return QString::fromStdString(text); }

// Where a chooser opens for a path already chosen: the folder that holds it, or the item itself.
std::optional<std::string> containingFolderURL(const std::string& path) {
    if (path.empty()) return std::nullopt;
    return FileUrl(path, false).deletingLastPathComponent().absoluteString();
}
std::optional<std::string> itemURL(const std::string& path, bool isDirectory) {
    if (path.empty()) return std::nullopt;
    return FileUrl(path, isDirectory).absoluteString();
}

// The editor of one kind. It starts from the sheet's entry and keeps its own copy up to date, so
// that each control writes the entry with every earlier change of the others in it: the sheet
// does not rebuild the editor while the user types.
class KindEditor final : public QWidget {
public:
    explicit KindEditor(const ParamsEditorContext& context) : context_(context), current_(context.params) {
        layout_ = new QVBoxLayout(this);
        layout_->setContentsMargins(0, 0, 0, 0);
        if (context_.rules.fieldsKeepTheirWidth) layout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        std::visit([this](auto& params) { build(params); }, current_);
    }

private:
    // Applies `change` to the current value of case P and hands the whole value to the sheet.
    template <class P, class Change>
    void write(Change&& change) {
        std::forward<Change>(change)(std::get<P>(current_));
        if (context_.setParams) context_.setParams(current_, context_.kind);
    }
    template <class P>
    P& value() {
        return std::get<P>(current_);
    }

    void focusTarget(ActionFieldError error, QWidget* widget) {
        if (context_.registerFocusTarget) context_.registerFocusTarget(error, widget);
    }

    // A single-line field whose title is its placeholder, and its label too when `labelled`
    // (a placeholder is gone once something is typed); every keystroke is a change.
    template <class P>
    QLineEdit* addTextField(const QString& title, const std::string& text, std::string P::*field, bool labelled = false) {
        auto* edit = new QLineEdit(qString(text), this);
        edit->setPlaceholderText(title);
        edit->setAccessibleName(title);
        qt::keepPlaceholderWhole(*edit);
        connect(edit, &QLineEdit::textEdited, this,
                [this, field](const QString& typed) { write<P>([&](P& params) { params.*field = typed.toStdString(); }); });
        if (!labelled) {
            layout_->addWidget(edit);
            return edit;
        }
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(title + QStringLiteral(":"), this);
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(edit);
        row->addWidget(label);
        row->addWidget(edit, 1);
        layout_->addLayout(row);
        return edit;
    }

    // A picker with a title, whose options carry their values.
    template <class P, class Value>
    QComboBox* addPicker(const QString& title, const std::vector<std::pair<QString, Value>>& options, Value P::*field) {
        return addPicker<P, Value>(
            title, options, [field](const P& params) { return params.*field; },
            [field](P& params, Value chosen) { params.*field = chosen; });
    }
    template <class P, class Value, class Get, class Set>
    QComboBox* addPicker(const QString& title, const std::vector<std::pair<QString, Value>>& options, Get get, Set set) {
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(title, this);
        label->setAccessibleName(title.trimmed());
        auto* picker = new QComboBox(this);
        picker->setAccessibleName(title.trimmed());
        label->setBuddy(picker);
        for (const auto& [text, option] : options) picker->addItem(text, static_cast<int>(option));
        picker->setCurrentIndex(picker->findData(static_cast<int>(get(value<P>()))));
        connect(picker, &QComboBox::activated, this, [this, picker, set](int index) {
            if (index < 0) return;
            const auto chosen = static_cast<Value>(picker->itemData(index).toInt());
            write<P>([&](P& params) { set(params, chosen); });
        });
        row->addWidget(label);
        row->addWidget(picker);
        row->addStretch();
        layout_->addLayout(row);
        return picker;
    }

    // Runs the chooser; a choice is written into `field` and shown in `row`, a cancel changes nothing.
    template <class P, class Field>
    void choose(ChooserKind kind, const std::optional<std::string>& folderURL, Field P::*field, PathRow* row) {
        const QPointer<KindEditor> alive(this);
        const auto& rules = context_.rules;
        const auto chosen = choosePath(kind, rules.choosersStartAtCurrentPath ? folderURL : std::nullopt, rules);
        // The chooser runs its own event loop, in which the sheet may have gone.
        if (!chosen || !alive) return;
        write<P>([&](P& params) { params.*field = *chosen; });
        row->setPath(*chosen);
    }

    template <class P>
    PathRow* addPathRow(const QString& buttonTitle, std::string P::*field, ChooserKind kind, ActionFieldError focus,
                        std::optional<std::string> (*startFolder)(const std::string&)) {
        auto* row = new PathRow(QString(), buttonTitle, value<P>().*field, this, kind == ChooserKind::application);
        connect(row->button(), &QPushButton::clicked, this,
                [this, row, field, kind, startFolder] { choose<P>(kind, startFolder(value<P>().*field), field, row); });
        focusTarget(focus, row->button());
        layout_->addWidget(row);
        return row;
    }

    // "Open with:" of the kinds that open an item with a chosen application. Nothing clears it.
    template <class P>
    void addOpenWithRow() {
        const std::string shown = value<P>().applicationPath.value_or(std::string());
        auto* row = new PathRow(QString::fromUtf8(context_.rules.openWithTitle), QStringLiteral("Choose Application"), shown,
                                this, true);
        connect(row->button(), &QPushButton::clicked, this, [this, row] {
            const auto start = containingFolderURL(value<P>().applicationPath.value_or(std::string()));
            choose<P>(ChooserKind::application, start, &P::applicationPath, row);
        });
        layout_->addWidget(row);
    }

    void build(p::notification&) {
        focusTarget(ActionFieldError::emptyNotificationTitle,
                    addTextField(QStringLiteral("Title"), value<p::notification>().title, &p::notification::title, true));
    }
    void build(p::openURL& params) {
        focusTarget(ActionFieldError::openURLInvalidURL, addTextField(QStringLiteral("URL"), params.url, &p::openURL::url, true));
        // The stored application stays in the entry while the row is hidden.
        if (context_.helperRunning) addOpenWithRow<p::openURL>();
    }
    void build(p::openApp& params) {
        addPathRow(QString::fromUtf8(context_.rules.openAppButton), &p::openApp::path, ChooserKind::application,
                   ActionFieldError::openAppInvalidPath, containingFolderURL);
        if (!context_.rules.actionIfRunningPicker) {
            auto* hide = new QCheckBox(QStringLiteral("Hide App If Running"), this);
            hide->setAccessibleName(hide->text());
            hide->setChecked(params.hideAppIfRunning);
            connect(hide, &QCheckBox::toggled, this,
                    [this](bool on) { write<p::openApp>([&](p::openApp& open) { open.hideAppIfRunning = on; }); });
            layout_->addWidget(hide);
        }
        using A = p::ActionIfRunning;
        if (context_.rules.actionIfRunningPicker)
            addPicker<p::openApp, A>(
                QStringLiteral("Action If Already Running"),
                std::vector<std::pair<QString, A>>{{QStringLiteral("None"), A::none},
                                                   {QStringLiteral("Hide"), A::hideApp},
                                                   {QStringLiteral("Switch to Previous App"), A::switchToPreviousApp}},
                p::actionIfRunning, p::setActionIfRunning);
        if (context_.helperRunning && (context_.complexMode || !context_.rules.launchArgumentsNeedComplexMode))
            addTextField(QStringLiteral("Launch Arguments"), params.launchArgumentsText, &p::openApp::launchArgumentsText);
    }
    void build(p::openFile&) {
        addPathRow(QStringLiteral("Choose File Path"), &p::openFile::filePath, ChooserKind::file,
                   ActionFieldError::openFileInvalidPath, [](const std::string& path) { return itemURL(path, false); });
        addOpenWithRow<p::openFile>();
    }
    void build(p::openFolder&) {
        addPathRow(QStringLiteral("Choose Folder Path"), &p::openFolder::folderPath, ChooserKind::folder,
                   ActionFieldError::openFolderInvalidPath, [](const std::string& path) { return itemURL(path, true); });
        addOpenWithRow<p::openFolder>();
    }
    void build(p::runAppleScript&) {
        if (context_.rules.showsScriptsFolder) addScriptsFolder();
        addPathRow(QStringLiteral("Choose"), &p::runAppleScript::path, ChooserKind::appleScript,
                   ActionFieldError::runAppleScriptInvalidPath, [](const std::string& path) { return itemURL(path, false); });
    }
    void addScriptsFolder() {
        auto* note = new QLabel(words::qt(words::scriptsFolderNote), this);
        note->setTextFormat(Qt::PlainText);
        note->setAccessibleName(note->text());
        layout_->addWidget(note);
        const auto folder = FileHelper::applicationScriptsDirectory();
        auto* link = new QPushButton(qString(folder ? folder->string() : std::string()), this);
        link->setFlat(true);
        link->setAutoDefault(false);
        link->setCursor(Qt::PointingHandCursor);
        link->setAccessibleName(link->text());
        connect(link, &QPushButton::clicked, this, [folder] {
            if (folder) Workspace::shared().openURL(FileUrl::fromPath(folder->string()).absoluteString(), nullptr);
        });
        layout_->addWidget(link, 0, Qt::AlignLeft);
    }
    void build(p::menuCommand& params) {
        auto* title = new QLabel(QStringLiteral("Menu Title"), this);
        title->setTextFormat(Qt::PlainText);
        title->setAccessibleName(title->text());
        auto* edit = new QLineEdit(qString(params.menuTitle), this);
        edit->setPlaceholderText(QStringLiteral("Enter the exact name of the menu command you want to add."));
        edit->setAccessibleName(QStringLiteral("Menu Title"));
        qt::keepPlaceholderWhole(*edit);
        title->setBuddy(edit);
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& typed) {
            write<p::menuCommand>([&](p::menuCommand& command) { command.menuTitle = typed.toStdString(); });
        });
        focusTarget(ActionFieldError::invalidMenuTitle, edit);
        if (!context_.rules.menuTitleRow) {
            layout_->addWidget(title);
            layout_->addWidget(edit);
            return;
        }
        auto* row = new QHBoxLayout();
        auto* help = new QToolButton(this);
        help->setIcon(QIcon::fromTheme(QStringLiteral("help-contents")));
        help->setText(QStringLiteral("Help"));
        help->setToolTip(QStringLiteral("Keyboard shortcuts for menu commands"));
        help->setAccessibleName(QStringLiteral("Help on keyboard shortcuts for menu commands"));
        help->setToolButtonStyle(help->icon().isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
        connect(help, &QToolButton::clicked, this,
                [] { Workspace::shared().openURL(std::string(menuCommandShortcutsHelpURL), nullptr); });
        row->addWidget(title);
        row->addWidget(edit, 1);
        row->addWidget(help);
        layout_->addLayout(row);
    }
    void build(p::executeFile& params) {
        addPathRow(QStringLiteral("Choose"), &p::executeFile::path, ChooserKind::executable,
                   ActionFieldError::executeFileInvalidPath, [](const std::string& path) { return itemURL(path, false); });
        if (!context_.helperRunning) return;
        auto* edit = new QLineEdit(qString(params.argumentsText.value_or(std::string())), this);
        edit->setPlaceholderText(QStringLiteral("Arguments"));
        edit->setAccessibleName(QStringLiteral("Arguments"));
        qt::keepPlaceholderWhole(*edit);
        // Once typed, even an emptied field stores the empty text; untouched, none stays none.
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& typed) {
            write<p::executeFile>([&](p::executeFile& file) { file.argumentsText = typed.toStdString(); });
        });
        layout_->addWidget(edit);
        auto* note = new QLabel(qt::qString(executeFileNote), this);
        note->setTextFormat(Qt::PlainText);
        note->setAccessibleName(note->text());
        QFont font = note->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        note->setFont(font);
        layout_->addWidget(note);
    }
    void build(p::simulateKeystroke& params) {
        layout_->addWidget(new KeystrokeEditor(
            params,
            [this](const p::simulateKeystroke& keystroke) {
                write<p::simulateKeystroke>([&](p::simulateKeystroke& stored) { stored = keystroke; });
            },
            this));
    }
    void build(p::switchInputMethod& params) {
        auto* list = new InputMethodList(
            InputSourceManager::selectableInputSources(), params.inputSourceID,
            [this](const std::optional<std::string>& id) {
                write<p::switchInputMethod>([&](p::switchInputMethod& method) { method.inputSourceID = id; });
            },
            this);
        focusTarget(ActionFieldError::inputMethodNotSelected, list);
        layout_->addWidget(list);
    }
    // A title that never wraps or shrinks, and the delay in the user's locale.
    template <class P>
    void addDelayRow(const QString& title, const QString& prompt, double delay) {
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(title, this);
        label->setTextFormat(Qt::PlainText);
        label->setAccessibleName(title);
        label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        auto* field = new qt::LocaleDoubleField(prompt, this);
        field->setAccessibleName(title);
        field->setValue(delay);
        // Stored as soon as the text reads as a number: a save by its shortcut does not end the
        // editing first, and must not lose what was typed.
        field->setCommitsWhileTyping(true);
        field->setValueHandler([this](double value) { write<P>([&](P& params) { params.delay = value; }); });
        label->setBuddy(field);
        row->addWidget(label);
        row->addWidget(field);
        row->addStretch();
        layout_->addLayout(row);
        if constexpr (std::is_same_v<P, p::continueFromInterruption>) field->setMinimumWidth(50);
        else field->setMaximumWidth(36);
    }
    void build(p::continueFromInterruption& params) {
        addDelayRow<p::continueFromInterruption>(QStringLiteral("Continue From Interruption After Seconds:"),
                                                 QStringLiteral("0.05"), params.delay);
    }
    void build(p::stopKeySequenceAfterDelay& params) {
        addDelayRow<p::stopKeySequenceAfterDelay>(QStringLiteral("Stop Key Sequence After Delay (seconds):"),
                                                  QStringLiteral("0.5"), params.delay);
    }
    void build(p::getFrontmostApp&) {
        using K = GetFrontmostAppKind;
        addPicker(QStringLiteral("App Information Kind"),
                  std::vector<std::pair<QString, K>>{{words::qt(tavlin::shownText(K::bundleURL)), K::bundleURL},
                                                     {words::qt(tavlin::shownText(K::localizedName)), K::localizedName},
                                                     {words::qt(tavlin::shownText(K::bundleIdentifier)), K::bundleIdentifier}},
                  &p::getFrontmostApp::appInfoKind);
    }
    void build(p::getLeaderKey&) {
        using K = GetLeaderKeyKind;
        addPicker(QStringLiteral("Leader Key Information Kind"),
                  std::vector<std::pair<QString, K>>{{QStringLiteral("Display Name"), K::displayName},
                                                     {QStringLiteral("Key Code Text"), K::keyCodeText}},
                  &p::getLeaderKey::leaderKeyInfoKind);
    }

    ParamsEditorContext context_;
    ActionParams current_;
    QVBoxLayout* layout_ = nullptr;
};

} // namespace

QWidget* makeParamsEditor(const ParamsEditorContext& context) {
    switch (context.kind) {
    case ActionConfigurationKind::openFinder:
    case ActionConfigurationKind::toggleConfigurationWindow:
    case ActionConfigurationKind::switchWindow:
    case ActionConfigurationKind::sleep: return nullptr;
    default: return new KindEditor(context);
    }
}

} // namespace tavlin
