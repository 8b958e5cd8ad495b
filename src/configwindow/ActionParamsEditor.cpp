#include "configwindow/ActionParamsEditor.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

#include "actionediting/PathChooser.h"
#include "actionediting/core/ActionKinds.h"
#include "configwindow/core/ActionParamFields.h"
#include "model/FileHelper.h"
#include "model/KeyNames.h"
#include "platform/FileUrl.h"
#include "platform/HelperApplication.h"
#include "platform/Workspace.h"
#include "platform/qt/LocaleDoubleField.h"

namespace tavlin {

namespace {

using K = ActionConfigurationKind;
namespace p = actionparams;

QString qString(const std::string& text) { return QString::fromStdString(text); }
std::string stdString(const QString& text) { return text.toStdString(); }

// The key picker's entries, named once per process: the layout is fixed once names are first made.
const QStringList& keyPickerNames() {
    static const QStringList names = [] {
        QStringList list;
        for (const int code : sortedAvailableKeyCodes()) list.push_back(qString(keyName(code)));
        return list;
    }();
    return names;
}

template <class Params, class Field>
Field get(const ActionParamsByKind& params, K kind, Field Params::*field) {
    return paramField(params, kind, field);
}

} // namespace

ActionParamsEditor::ActionParamsEditor(ActionParamsByKind& params, ActionConfigurationKind kind, std::function<void()> changed,
                                       QWidget* parent)
    : QWidget(parent), params_(params), kind_(kind), changed_(std::move(changed)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    build();
}

QString ActionParamsEditor::executeFileNote() { return qString(std::string(tavlin::executeFileNote)); }

void ActionParamsEditor::edited() {
    if (changed_) changed_();
}

QLabel* ActionParamsEditor::addLabel(const QString& text) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    layout()->addWidget(label);
    return label;
}

QLineEdit* ActionParamsEditor::addTextField(const QString& title, const QString& placeholder, const std::string& text) {
    auto* field = new QLineEdit(qString(text), this);
    field->setPlaceholderText(placeholder);
    field->setAccessibleName(title);
    layout()->addWidget(field);
    return field;
}

void ActionParamsEditor::addPathRow(const QString& buttonTitle, int chooserKind, std::function<std::string()> read,
                                    std::function<void(std::string)> write) {
    auto* row = new QHBoxLayout();
    auto* path = new QLabel(this);
    path->setTextFormat(Qt::PlainText);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* button = new QPushButton(buttonTitle, this);
    button->setAutoDefault(false);
    button->setAccessibleName(buttonTitle);
    auto show = [path, read] {
        const auto text = qString(read());
        path->setText(text);
        path->setAccessibleName(text);
        path->setVisible(!text.isEmpty());
    };
    show();
    connect(button, &QPushButton::clicked, this, [this, chooserKind, write, show] {
        const auto chosen = choosePath(static_cast<PathChooserKind>(chooserKind), std::nullopt, treeEditorRules);
        if (!chosen) return;
        write(*chosen);
        show();
        edited();
    });
    row->addWidget(path);
    row->addWidget(button);
    row->addStretch();
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void ActionParamsEditor::addApplicationRow() {
    const K kind = kind_;
    addPathRow(
        QStringLiteral("Choose Application"), static_cast<int>(PathChooserKind::application),
        [this, kind] { return applicationPathOf(params_, kind).value_or(std::string()); },
        [this, kind](std::string path) { setApplicationPath(params_, kind, std::move(path)); });
}

void ActionParamsEditor::addDelayField(const QString& label, const QString& prompt, bool narrow) {
    auto* row = new QHBoxLayout();
    auto* title = new QLabel(label, this);
    auto* field = new qt::LocaleDoubleField(prompt, this);
    field->setAccessibleName(label);
    title->setBuddy(field);
    if (narrow) field->setMaximumWidth(36);
    else field->setMinimumWidth(50);
    const K kind = kind_;
    field->setValue(kind == K::continueFromInterruption ? get(params_, kind, &p::continueFromInterruption::delay)
                                                        : get(params_, kind, &p::stopKeySequenceAfterDelay::delay));
    // Every keystroke that reads as a finite number is kept, as the other fields keep theirs.
    field->setCommitsWhileTyping(true);
    field->setValueHandler([this, kind](double value) {
        if (kind == K::continueFromInterruption) setParamField(params_, kind, &p::continueFromInterruption::delay, value);
        else setParamField(params_, kind, &p::stopKeySequenceAfterDelay::delay, value);
        edited();
    });
    row->addWidget(title);
    row->addWidget(field);
    row->addStretch();
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
}

void ActionParamsEditor::build() {
    const K kind = kind_;
    if (!params_.count(kind)) return;
    const bool helperRuns = isHelperRunning();
    auto connectText = [this](QLineEdit* field, auto write) {
        connect(field, &QLineEdit::textEdited, this, [this, write](const QString& text) {
            write(stdString(text));
            edited();
        });
    };
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    switch (kind) {
    case K::notification: {
        auto* field = addTextField(QStringLiteral("Title"), QStringLiteral("Title"), get(params_, kind, &p::notification::title));
        connectText(field,
                    [this, kind](std::string text) { setParamField(params_, kind, &p::notification::title, std::move(text)); });
        break;
    }
    case K::openURL: {
        auto* field = addTextField(QStringLiteral("URL"), QStringLiteral("URL"), get(params_, kind, &p::openURL::url));
        connectText(field, [this, kind](std::string text) { setParamField(params_, kind, &p::openURL::url, std::move(text)); });
        if (helperRuns) addApplicationRow();
        break;
    }
    case K::openApp: {
        addPathRow(
            QStringLiteral("Choose"), static_cast<int>(PathChooserKind::application),
            [this, kind] { return get(params_, kind, &p::openApp::path); },
            [this, kind](std::string path) { setParamField(params_, kind, &p::openApp::path, std::move(path)); });
        auto* hide = new QCheckBox(QStringLiteral("Hide App If Running"), this);
        hide->setAccessibleName(hide->text());
        hide->setChecked(get(params_, kind, &p::openApp::hideAppIfRunning));
        connect(hide, &QCheckBox::toggled, this, [this, kind](bool on) {
            setParamField(params_, kind, &p::openApp::hideAppIfRunning, on);
            edited();
        });
        layout->addWidget(hide);
        if (helperRuns) {
            auto* field = addTextField(QStringLiteral("Launch Arguments"), QStringLiteral("Launch Arguments"),
                                       get(params_, kind, &p::openApp::launchArgumentsText));
            connectText(field, [this, kind](std::string text) {
                setParamField(params_, kind, &p::openApp::launchArgumentsText, std::move(text));
            });
        }
        break;
    }
    case K::openFile:
        addPathRow(
            QStringLiteral("Choose File Path"), static_cast<int>(PathChooserKind::file),
            [this, kind] { return get(params_, kind, &p::openFile::filePath); },
            [this, kind](std::string path) { setParamField(params_, kind, &p::openFile::filePath, std::move(path)); });
        addApplicationRow();
        break;
    case K::openFolder:
        addPathRow(
            QStringLiteral("Choose Folder Path"), static_cast<int>(PathChooserKind::folder),
            [this, kind] { return get(params_, kind, &p::openFolder::folderPath); },
            [this, kind](std::string path) { setParamField(params_, kind, &p::openFolder::folderPath, std::move(path)); });
        addApplicationRow();
        break;
    case K::runAppleScript: {
        addLabel(QStringLiteral("Because of sandboxing, the AppleScript files must be in:"));
        const auto folder = FileHelper::applicationScriptsDirectory();
        auto* link = new QPushButton(qString(folder ? folder->string() : std::string()), this);
        link->setFlat(true);
        link->setAutoDefault(false);
        link->setCursor(Qt::PointingHandCursor);
        link->setAccessibleName(link->text());
        connect(link, &QPushButton::clicked, this, [folder] {
            if (folder) Workspace::shared().openURL(FileUrl::fromPath(folder->string()).absoluteString(), nullptr);
        });
        layout->addWidget(link, 0, Qt::AlignLeft);
        addPathRow(
            QStringLiteral("Choose"), static_cast<int>(PathChooserKind::appleScript),
            [this, kind] { return get(params_, kind, &p::runAppleScript::path); },
            [this, kind](std::string path) { setParamField(params_, kind, &p::runAppleScript::path, std::move(path)); });
        break;
    }
    case K::menuCommand: {
        addLabel(QStringLiteral("Menu Title"));
        auto* field = addTextField(QStringLiteral("Menu Title"),
                                   QStringLiteral("Enter the exact name of the menu command you want to add."),
                                   get(params_, kind, &p::menuCommand::menuTitle));
        connectText(
            field, [this, kind](std::string text) { setParamField(params_, kind, &p::menuCommand::menuTitle, std::move(text)); });
        break;
    }
    case K::executeFile: {
        addPathRow(
            QStringLiteral("Choose"), static_cast<int>(PathChooserKind::executable),
            [this, kind] { return get(params_, kind, &p::executeFile::path); },
            [this, kind](std::string path) { setParamField(params_, kind, &p::executeFile::path, std::move(path)); });
        if (helperRuns) {
            auto* field = addTextField(QStringLiteral("Arguments"), QStringLiteral("Arguments"),
                                       get(params_, kind, &p::executeFile::argumentsText).value_or(std::string()));
            // Once typed, even an emptied field stores the empty text; untouched, none stays none.
            connectText(field, [this, kind](std::string text) {
                setParamField(params_, kind, &p::executeFile::argumentsText, std::optional<std::string>(std::move(text)));
            });
            auto* note = addLabel(executeFileNote());
            QFont font = note->font();
            font.setPointSizeF(font.pointSizeF() * 0.85);
            note->setFont(font);
        }
        break;
    }
    case K::simulateKeystroke: {
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(QStringLiteral("Key: "), this);
        auto* picker = new QComboBox(this);
        picker->setAccessibleName(QStringLiteral("Key"));
        label->setBuddy(picker);
        const auto& codes = sortedAvailableKeyCodes();
        picker->addItems(keyPickerNames());
        const auto index = indexOfKeyCode(get(params_, kind, &p::simulateKeystroke::mainKeyCode), codes);
        picker->setCurrentIndex(index ? static_cast<int>(*index) : -1);
        connect(picker, &QComboBox::activated, this, [this, kind, &codes](int chosen) {
            if (chosen < 0 || chosen >= static_cast<int>(codes.size())) return;
            setParamField(params_, kind, &p::simulateKeystroke::mainKeyCode, codes[static_cast<std::size_t>(chosen)]);
            edited();
        });
        row->addWidget(label);
        row->addWidget(picker);
        row->addStretch();
        layout->addLayout(row);
        auto* toggles = new QHBoxLayout();
        const std::pair<const char*, bool p::simulateKeystroke::*> flags[] = {
            {"Command", &p::simulateKeystroke::cmd},
            {"Shift", &p::simulateKeystroke::shift},
            {"Option", &p::simulateKeystroke::option},
            {"Control", &p::simulateKeystroke::control},
        };
        for (const auto& flag : flags) {
            // Not a structured binding: the lambda below captures the field.
            const auto field = flag.second;
            auto* toggle = new QCheckBox(QString::fromLatin1(flag.first), this);
            toggle->setAccessibleName(toggle->text());
            toggle->setChecked(get(params_, kind, field));
            connect(toggle, &QCheckBox::toggled, this, [this, kind, field](bool on) {
                setParamField(params_, kind, field, on);
                edited();
            });
            toggles->addWidget(toggle);
        }
        toggles->addStretch();
        layout->addLayout(toggles);
        break;
    }
    case K::continueFromInterruption:
        addDelayField(QStringLiteral("Continue From Interruption After Seconds:"), QStringLiteral("0.05"), false);
        break;
    case K::stopKeySequenceAfterDelay:
        addDelayField(QStringLiteral("Stop Key Sequence After Delay (seconds):"), QStringLiteral("0.5"), true);
        break;
    case K::getFrontmostApp:
    case K::getLeaderKey: {
        const bool frontmost = kind == K::getFrontmostApp;
        const QString title = frontmost ? QStringLiteral("App Information Kind") : QStringLiteral("Leader Key Information Kind");
        auto* row = new QHBoxLayout();
        auto* label = new QLabel(title, this);
        auto* picker = new QComboBox(this);
        picker->setAccessibleName(title);
        label->setBuddy(picker);
        if (frontmost) {
            picker->addItem(QStringLiteral("Bundle URL"), static_cast<int>(GetFrontmostAppKind::bundleURL));
            picker->addItem(QStringLiteral("Localized Name"), static_cast<int>(GetFrontmostAppKind::localizedName));
            picker->addItem(QStringLiteral("Bundle Identifier"), static_cast<int>(GetFrontmostAppKind::bundleIdentifier));
            picker->setCurrentIndex(picker->findData(static_cast<int>(get(params_, kind, &p::getFrontmostApp::appInfoKind))));
        } else {
            picker->addItem(QStringLiteral("Display Name"), static_cast<int>(GetLeaderKeyKind::displayName));
            picker->addItem(QStringLiteral("Key Code Text"), static_cast<int>(GetLeaderKeyKind::keyCodeText));
            picker->setCurrentIndex(picker->findData(static_cast<int>(get(params_, kind, &p::getLeaderKey::leaderKeyInfoKind))));
        }
        connect(picker, &QComboBox::activated, this, [this, kind, picker, frontmost](int chosen) {
            const int value = picker->itemData(chosen).toInt();
            if (frontmost)
                setParamField(params_, kind, &p::getFrontmostApp::appInfoKind, static_cast<GetFrontmostAppKind>(value));
            else setParamField(params_, kind, &p::getLeaderKey::leaderKeyInfoKind, static_cast<GetLeaderKeyKind>(value));
            edited();
        });
        row->addWidget(label);
        row->addWidget(picker);
        row->addStretch();
        layout->addLayout(row);
        break;
    }
    default: break;
    }
}

} // namespace tavlin
