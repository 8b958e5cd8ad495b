#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include "actionediting/ActionKindEditors.h"
#include "actionediting/ApplicationChooserDialog.h"
#include "actionediting/PathRow.h"
#include "engine/InputSources.h"
#include "flateditor/core/RowComposeSheetState.h"
#include "flateditor/core/RowSheetItem.h"
#include "model/KeyNames.h"
#include "platform/base/MainQueue.h"
#include "platform/dbus/FileManagerItems.h"
#include "platform/files/FileUrl.h"
#include "platform/linux/XdgWorkspace.h"
#include "sandbox/SandboxTestSupport.h"
#include "support/QtTestApplication.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::flateditor {
namespace {

using Kind = ActionConfigurationKind;
namespace p = actionparams;

// The desktop as the application has it, except that URLs are recorded instead of opened.
class RecordingWorkspace final : public xdg::XdgWorkspace {
public:
    explicit RecordingWorkspace(MainQueue& queue) : XdgWorkspace(queue) {}
    std::vector<std::string> openedURLs;
    void openURL(const std::string& url, Completion completion) override {
        openedURLs.push_back(url);
        if (completion) completion(std::nullopt);
    }
};

// A file manager on the session bus that records the items it is asked to show.
class FakeFileManager final : public QDBusVirtualObject {
public:
    QStringList shown;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("ShowItems")) return false;
        if (!message.arguments().isEmpty()) shown << message.arguments().front().toStringList();
        connection.send(message.createReply());
        return true;
    }
};

class FixedInputSources final : public InputSourceProvider {
public:
    std::vector<PlatformInputSource> sources;
    std::set<std::string> loadable; // what the desktop found loadable when it listed them
    std::vector<PlatformInputSource> enabledInputSources() override { return sources; }
    std::optional<std::string> currentInputSourceID() override { return std::nullopt; }
    bool selectInputSource(const std::string&) override { return true; }
    bool canLoadImage(const std::string& path) override { return loadable.count(path) > 0; }
};

// Plays the row sheet: keeps the entries by kind, and builds the editor of one kind from them
// as the sheet does on every kind switch.
class ActionKindEditorsTest : public test::SandboxTest {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }

    void SetUp() override {
        SandboxTest::SetUp();
        Workspace::setShared(&workspace_);
        // The machine's own applications stay out of the application chooser.
        applications_ = tempHome().dataHome() / "applications";
        std::filesystem::create_directories(applications_);
        std::filesystem::create_directories(root_ / "system");
        ::setenv("XDG_DATA_DIRS", (root_ / "system").c_str(), 1);
        test::followEnvironmentInGLib();
    }
    void TearDown() override {
        editor_.reset();
        Workspace::setShared(nullptr);
        InputSourceManager::setProvider(nullptr);
        InputSourceManager::reloadSelectableInputSources();
        SandboxTest::TearDown();
    }

    QWidget* open(Kind kind, bool helperRunning = false, bool complexMode = false) {
        editor_.reset();
        focusTargets_.clear();
        ParamsEditorContext context;
        context.kind = kind;
        context.params = entries_.at(kind);
        context.helperRunning = helperRunning;
        context.complexMode = complexMode;
        context.setParams = [this](const ActionParams& params, Kind written) {
            entries_.insert_or_assign(written, params);
            writes_.emplace_back(written, params);
        };
        context.registerFocusTarget = [this](ActionFieldError error, QWidget* widget) {
            focusTargets_[*field(ValidationError(error))] = widget;
        };
        editor_.reset(makeParamsEditor(context));
        if (editor_) {
            editor_->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(editor_.get(), 20000));
        }
        return editor_.get();
    }

    // The visible control of type W with this accessible name.
    template <class W>
    W* control(const QString& name) const {
        if (!editor_) return nullptr;
        for (W* widget : editor_->findChildren<W*>())
            if (widget->accessibleName() == name && widget->isVisibleTo(editor_.get())) return widget;
        return nullptr;
    }
    QStringList visibleTexts() const {
        QStringList texts;
        for (QLabel* label : editor_->findChildren<QLabel*>())
            if (label->isVisibleTo(editor_.get())) texts << label->text();
        for (QAbstractButton* button : editor_->findChildren<QAbstractButton*>())
            if (button->isVisibleTo(editor_.get())) texts << button->text();
        return texts;
    }
    static QStringList options(const QComboBox* picker) {
        QStringList texts;
        for (int i = 0; i < picker->count(); ++i) texts << picker->itemText(i);
        return texts;
    }

    template <class P>
    P entry(Kind kind) const {
        return std::get<P>(entries_.at(kind));
    }

    // Answers the application chooser from its own event loop once it is up.
    template <class Drive>
    static void whenApplicationChooserShows(Drive drive) {
        test::whenShown<ApplicationChooserDialog>([drive](ApplicationChooserDialog& dialog) {
            drive(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the chooser is still open";
                dialog.reject();
            }
        });
    }
    std::filesystem::path desktopEntry(const std::string& id) {
        const auto path = applications_ / (id + ".desktop");
        test::writeFile(path, "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=true " + id + "\n");
        return path;
    }

    VirtualMainQueue queue_;
    RecordingWorkspace workspace_{queue_};
    ActionParamsByKind entries_ = defaultActionParamsByKind();
    std::vector<std::pair<Kind, ActionParams>> writes_;
    std::map<RowSheetField, QWidget*> focusTargets_;
    std::unique_ptr<QWidget> editor_;
    std::filesystem::path applications_;
    test::SavedEnvironment dataDirs_{"XDG_DATA_DIRS"};
};

TEST_F(ActionKindEditorsTest, kindsWithoutParametersHaveNoEditor) {
    for (const Kind kind : {Kind::openFinder, Kind::toggleConfigurationWindow, Kind::switchWindow, Kind::sleep}) {
        entries_.insert_or_assign(kind, p::notification{});
        EXPECT_EQ(open(kind, true, true), nullptr);
    }
}

TEST_F(ActionKindEditorsTest, textEditorsShowTheirTitlesAndWriteEveryKeystroke) {
    open(Kind::notification);
    auto* title = control<QLineEdit>("Title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->placeholderText(), "Title");
    EXPECT_EQ(focusTargets_.at(RowSheetField::notificationTitle), title);
    QTest::keyClicks(title, "Hi");
    ASSERT_EQ(writes_.size(), 2u);
    EXPECT_EQ(writes_[0].first, Kind::notification);
    EXPECT_EQ(std::get<p::notification>(writes_[0].second).title, "H");
    EXPECT_EQ(entry<p::notification>(Kind::notification).title, "Hi");

    open(Kind::menuCommand);
    auto* menuTitle = control<QLineEdit>("Menu Title");
    ASSERT_TRUE(menuTitle);
    EXPECT_EQ(menuTitle->placeholderText(), "Enter the exact name of the menu command you want to add.");
    EXPECT_EQ(focusTargets_.at(RowSheetField::menuTitleFields), menuTitle);
    QTest::keyClicks(menuTitle, "Save As...");
    EXPECT_EQ(entry<p::menuCommand>(Kind::menuCommand).menuTitle, "Save As...");
    auto* help = control<QToolButton>("Help on keyboard shortcuts for menu commands");
    ASSERT_TRUE(help);
    EXPECT_FALSE(help->text().isEmpty());
    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_EQ(workspace_.openedURLs, std::vector<std::string>{std::string(menuCommandShortcutsHelpURL)});
}

TEST_F(ActionKindEditorsTest, valuesSurviveSwitchingKindsBackAndForth) {
    open(Kind::openURL);
    QTest::keyClicks(control<QLineEdit>("URL"), "https://example.org");
    open(Kind::notification);
    QTest::keyClicks(control<QLineEdit>("Title"), "t");
    open(Kind::openURL);
    EXPECT_EQ(control<QLineEdit>("URL")->text(), "https://example.org");
    open(Kind::notification);
    EXPECT_EQ(control<QLineEdit>("Title")->text(), "t");
}

TEST_F(ActionKindEditorsTest, openURLShowsOpenWithOnlyWhileTheHelperRunsAndKeepsItsApplication) {
    entries_[Kind::openURL] = p::openURL{"https://a.example", "/apps/browser.desktop"};
    open(Kind::openURL, false, true);
    EXPECT_TRUE(control<QLineEdit>("URL"));
    EXPECT_EQ(focusTargets_.at(RowSheetField::openURLURLField), control<QLineEdit>("URL"));
    EXPECT_FALSE(control<QPushButton>("Choose Application"));
    EXPECT_FALSE(visibleTexts().contains("/apps/browser.desktop"));
    // Typing keeps the hidden application in the value written.
    QTest::keyClicks(control<QLineEdit>("URL"), "/x");
    EXPECT_EQ(entry<p::openURL>(Kind::openURL), (p::openURL{"https://a.example/x", "/apps/browser.desktop"}));

    open(Kind::openURL, true);
    EXPECT_TRUE(control<QPushButton>("Choose Application"));
    EXPECT_TRUE(visibleTexts().contains("Open with: "));
    EXPECT_TRUE(visibleTexts().contains("/apps/browser.desktop"));
}

TEST_F(ActionKindEditorsTest, openAppOffersItsPickerAndLaunchArgumentsOnlyWithHelperAndComplexMode) {
    open(Kind::openApp, true, false);
    auto* choose = control<QPushButton>("Choose App");
    ASSERT_TRUE(choose);
    EXPECT_EQ(focusTargets_.at(RowSheetField::openAppPathField), choose);
    // No path yet: no path text.
    EXPECT_FALSE(editor_->findChildren<PathLabel*>().front()->isVisibleTo(editor_.get()));
    auto* running = control<QComboBox>("Action If Already Running");
    ASSERT_TRUE(running);
    EXPECT_EQ(options(running), (QStringList{"None", "Hide", "Switch to Previous App"}));
    EXPECT_EQ(running->currentText(), "None");
    EXPECT_FALSE(control<QLineEdit>("Launch Arguments"));
    open(Kind::openApp, false, true);
    EXPECT_FALSE(control<QLineEdit>("Launch Arguments"));

    entries_[Kind::openApp] = p::openApp{"/apps/a.desktop", false, true, "--new"};
    open(Kind::openApp, true, true);
    EXPECT_EQ(control<QComboBox>("Action If Already Running")->currentText(), "Switch to Previous App");
    auto* arguments = control<QLineEdit>("Launch Arguments");
    ASSERT_TRUE(arguments);
    EXPECT_EQ(arguments->text(), "--new");
    // Two controls one after the other: the second write carries the first change.
    control<QComboBox>("Action If Already Running")->setFocus();
    QTest::keyClick(control<QComboBox>("Action If Already Running"), Qt::Key_Up);
    QTest::keyClicks(arguments, " -x");
    EXPECT_EQ(entry<p::openApp>(Kind::openApp), (p::openApp{"/apps/a.desktop", true, false, "--new -x"}));
}

TEST_F(ActionKindEditorsTest, executeFileArgumentsAndNoteOnlyWithTheHelper) {
    open(Kind::executeFile);
    EXPECT_TRUE(control<QPushButton>("Choose"));
    EXPECT_EQ(focusTargets_.at(RowSheetField::executeFilePathField), control<QPushButton>("Choose"));
    EXPECT_FALSE(control<QLineEdit>("Arguments"));

    open(Kind::executeFile, true);
    auto* arguments = control<QLineEdit>("Arguments");
    ASSERT_TRUE(arguments);
    EXPECT_EQ(arguments->text(), "");
    const QString note = QStringLiteral(
        "Note: \n\"The strings in arguments do not undergo shell expansion, \nso you do not need to do special quoting, \n"
        "and shell variables, such as $PWD, are not resolved.\"");
    EXPECT_EQ(note.size(), 162);
    EXPECT_TRUE(visibleTexts().contains(note));
    // Typed and deleted again: the empty text is stored, no longer none.
    EXPECT_FALSE(entry<p::executeFile>(Kind::executeFile).argumentsText);
    QTest::keyClicks(arguments, "a");
    QTest::keyClick(arguments, Qt::Key_Backspace);
    EXPECT_EQ(entry<p::executeFile>(Kind::executeFile).argumentsText, std::optional<std::string>(""));
}

// Typing a key's name picks that key before the keys whose names only start with it, and
// F17 to F20, which a PC keyboard lacks, after the others: typed from F16, "f1" is F1.
TEST_F(ActionKindEditorsTest, typingIntoTheKeyPickerFindsTheKeyOfThatName) {
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60'000); // one search however slowly the keys come
    const std::vector<std::tuple<int, const char*, const char*>> cases{
        {0, "f", "F"},     {0, "f1", "F1"},        {106 /* F16 */, "f1", "F1"},
        {0, "f17", "F17"}, {0, "ba", "Backspace"}, {0, "del", "Delete"},
        {0, "ff", "F1"},   {0, "zz", "Z"},
    };
    for (const auto& [start, typed, picked] : cases) {
        entries_[Kind::simulateKeystroke] = p::simulateKeystroke{start, false, false, false, false};
        open(Kind::simulateKeystroke);
        auto* key = control<QComboBox>("Key");
        key->setFocus();
        QTest::keyClicks(key, typed);
        EXPECT_EQ(key->currentText(), picked) << typed;
    }
    QApplication::setKeyboardInputInterval(interval);
}

TEST_F(ActionKindEditorsTest, pickersOfKeystrokeAndInformationKinds) {
    entries_[Kind::simulateKeystroke] = p::simulateKeystroke{sortedAvailableKeyCodes()[2], false, false, true, false};
    open(Kind::simulateKeystroke);
    auto* key = control<QComboBox>("Key");
    ASSERT_TRUE(key);
    EXPECT_TRUE(visibleTexts().contains("Key: "));
    ASSERT_EQ(key->count(), static_cast<int>(sortedAvailableKeyCodes().size()));
    for (int i = 0; i < key->count(); ++i)
        EXPECT_EQ(key->itemText(i).toStdString(), shownKeyName(sortedAvailableKeyCodes()[static_cast<std::size_t>(i)]));
    EXPECT_EQ(key->currentIndex(), 2);
    QStringList toggles;
    for (QCheckBox* toggle : editor_->findChildren<QCheckBox*>()) toggles << toggle->accessibleName();
    EXPECT_EQ(toggles, (QStringList{"Super", "Shift", "Alt", "Ctrl"}));
    EXPECT_TRUE(control<QCheckBox>("Alt")->isChecked());
    key->setFocus();
    QTest::keyClick(key, Qt::Key_Down);
    QTest::mouseClick(control<QCheckBox>("Super"), Qt::LeftButton);
    EXPECT_EQ(entry<p::simulateKeystroke>(Kind::simulateKeystroke),
              (p::simulateKeystroke{sortedAvailableKeyCodes()[3], true, false, true, false}));

    // A stored key the picker does not offer shows none and survives a toggle.
    entries_[Kind::simulateKeystroke] = p::simulateKeystroke{1'000'000, false, false, false, false};
    open(Kind::simulateKeystroke);
    EXPECT_EQ(control<QComboBox>("Key")->currentIndex(), -1);
    QTest::mouseClick(control<QCheckBox>("Shift"), Qt::LeftButton);
    EXPECT_EQ(entry<p::simulateKeystroke>(Kind::simulateKeystroke), (p::simulateKeystroke{1'000'000, false, true, false, false}));

    open(Kind::getFrontmostApp);
    auto* app = control<QComboBox>("App Information Kind");
    ASSERT_TRUE(app);
    EXPECT_EQ(options(app), (QStringList{"Desktop Entry Path", "Application Name", "Desktop Entry ID"}));
    EXPECT_EQ(app->currentText(), "Application Name");
    app->setFocus();
    QTest::keyClick(app, Qt::Key_Down);
    EXPECT_EQ(entry<p::getFrontmostApp>(Kind::getFrontmostApp).appInfoKind, GetFrontmostAppKind::bundleIdentifier);

    open(Kind::getLeaderKey);
    auto* leader = control<QComboBox>("Leader Key Information Kind");
    ASSERT_TRUE(leader);
    EXPECT_EQ(options(leader), (QStringList{"Display Name", "Key Code Text"}));
    EXPECT_EQ(leader->currentText(), "Display Name");
    leader->setFocus();
    QTest::keyClick(leader, Qt::Key_Down);
    EXPECT_EQ(entry<p::getLeaderKey>(Kind::getLeaderKey).leaderKeyInfoKind, GetLeaderKeyKind::keyCodeText);
}

TEST_F(ActionKindEditorsTest, delaysReadAndShowTheUsersLocaleAndRefuseWhatIsNoFiniteNumber) {
    struct RestoredLocale {
        QLocale saved;
        ~RestoredLocale() { QLocale::setDefault(saved); }
    } restored;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    open(Kind::continueFromInterruption);
    auto* delay = control<QLineEdit>("Continue From Interruption After Seconds:");
    ASSERT_TRUE(delay);
    EXPECT_TRUE(visibleTexts().contains("Continue From Interruption After Seconds:"));
    EXPECT_EQ(delay->text(), "0,05");
    EXPECT_EQ(delay->placeholderText(), "0.05");
    // Stored while typing, before editing ends: a save by its shortcut must not lose it.
    delay->selectAll();
    QTest::keyClicks(delay, "1,5");
    EXPECT_EQ(entry<p::continueFromInterruption>(Kind::continueFromInterruption).delay, 1.5);
    for (const char* bad : {"abc", "inf", "nan"}) {
        delay->selectAll();
        QTest::keyClicks(delay, bad);
        QTest::keyClick(delay, Qt::Key_Return);
        EXPECT_EQ(delay->text(), "1,5") << bad;
    }
    EXPECT_EQ(entry<p::continueFromInterruption>(Kind::continueFromInterruption).delay, 1.5);

    entries_[Kind::stopKeySequenceAfterDelay] = p::stopKeySequenceAfterDelay{0.25};
    open(Kind::stopKeySequenceAfterDelay);
    auto* stop = control<QLineEdit>("Stop Key Sequence After Delay (seconds):");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->text(), "0,25");
    EXPECT_EQ(stop->placeholderText(), "0.5");
    stop->selectAll();
    QTest::keyClicks(stop, "-1");
    QTest::keyClick(stop, Qt::Key_Return);
    EXPECT_EQ(entry<p::stopKeySequenceAfterDelay>(Kind::stopKeySequenceAfterDelay).delay, -1);
}

TEST_F(ActionKindEditorsTest, inputMethodListSelectsTheStoredSourceAndShowsNamesPlainly) {
    const auto image = root_ / "flag.png";
    QImage(32, 32, QImage::Format_ARGB32).save(QString::fromStdString(image.string()));
    const auto fifo = root_ / "fifo.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FixedInputSources provider;
    provider.sources = {{"us", "English (US)", true, true, std::nullopt, "input-keyboard"},
                        {"de(nodeadkeys)", "German <b>no dead keys</b>", true, true, image.string(), std::nullopt},
                        {"fifo", "Fifo", true, true, fifo.string(), std::nullopt}};
    // The FIFO was an image when the sources were listed.
    provider.loadable = {image.string(), fifo.string()};
    InputSourceManager::setProvider(&provider);
    InputSourceManager::reloadSelectableInputSources();

    entries_[Kind::switchInputMethod] = p::switchInputMethod{"de(nodeadkeys)"};
    open(Kind::switchInputMethod);
    auto* list = control<QListWidget>("Input Methods");
    ASSERT_TRUE(list);
    EXPECT_EQ(focusTargets_.at(RowSheetField::inputMethodsList), list);
    EXPECT_GE(list->minimumHeight(), 71);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "German <b>no dead keys</b>");
    EXPECT_FALSE(list->item(1)->icon().isNull());
    EXPECT_EQ(list->iconSize(), QSize(16, 16));
    EXPECT_TRUE(list->item(2)->icon().isNull()); // a FIFO is never read
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().front(), list->item(1));
    list->grab(); // drawing it reads nothing that blocks
    EXPECT_TRUE(writes_.empty());

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(entry<p::switchInputMethod>(Kind::switchInputMethod).inputSourceID, std::optional<std::string>("us"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(entry<p::switchInputMethod>(Kind::switchInputMethod).inputSourceID, std::nullopt);

    // An identifier the list does not hold selects nothing and stays.
    entries_[Kind::switchInputMethod] = p::switchInputMethod{"gone"};
    open(Kind::switchInputMethod);
    EXPECT_TRUE(control<QListWidget>("Input Methods")->selectedItems().isEmpty());
    EXPECT_EQ(entry<p::switchInputMethod>(Kind::switchInputMethod).inputSourceID, std::optional<std::string>("gone"));
}

// The editors over the sheet's own state: what they write, kept across kind switches and behind
// hidden controls, is what the saved row holds.
TEST_F(ActionKindEditorsTest, theRowBuiltFromTheSheetHoldsWhatTheEditorsWrote) {
    RowComposeSheetState sheet(RowSheetItem({RowChangeKind::newRow{0}}, [](const auto&) {}), {[] {}, [] {}});
    const auto edit = [&](Kind kind, bool helperRunning, bool complexMode) {
        sheet.setCurrentKind(kind);
        ParamsEditorContext context;
        context.kind = kind;
        context.params = *sheet.params(kind);
        context.helperRunning = helperRunning;
        context.complexMode = complexMode;
        context.setParams = [&](const ActionParams& params, Kind written) { sheet.setParams(params, written); };
        editor_.reset(makeParamsEditor(context));
        editor_->show();
    };
    const auto builtAction = [&] {
        const auto built = sheet.buildRow();
        return std::holds_alternative<FlatKeysAndActionRow>(built)
                   ? std::get<FlatKeysAndActionRow>(built).action.kind.toJson().dump()
                   : std::get<ValidationError>(built).message();
    };

    sheet.setParams(p::openURL{"", "/apps/browser.desktop"}, Kind::openURL);
    edit(Kind::openURL, false, false);
    QTest::keyClicks(control<QLineEdit>("URL"), "https://example.org");
    edit(Kind::notification, false, false);
    QTest::keyClicks(control<QLineEdit>("Title"), "t");
    edit(Kind::openURL, false, false);
    EXPECT_EQ(builtAction(), R"({"openURL":{"url":"https://example.org","applicationPath":"/apps/browser.desktop"}})");

    sheet.setParams(p::openApp{"/apps/a.desktop", false, false, ""}, Kind::openApp);
    edit(Kind::openApp, true, true);
    QTest::keyClicks(control<QLineEdit>("Launch Arguments"), "-n");
    // Complex Mode off: the arguments are hidden, and still saved.
    edit(Kind::openApp, true, false);
    auto* running = control<QComboBox>("Action If Already Running");
    running->setFocus();
    QTest::keyClick(running, Qt::Key_End);
    EXPECT_EQ(
        builtAction(),
        R"({"openApp":{"path":"/apps/a.desktop","hideAppIfRunning":false,"launchArgumentsText":"-n","switchToPreviousApp":true}})");
}

TEST_F(ActionKindEditorsTest, fileChoosersGetTheirKindAndStartFolderAndWriteOnlyTheirField) {
    const auto report = makeFile("docs/report.txt");
    const auto docs = makeFolder("docs");
    entries_[Kind::openFile] = p::openFile{"/old/file.txt", "/apps/viewer.desktop"};
    open(Kind::openFile);
    auto* choose = control<QPushButton>("Choose File Path");
    ASSERT_TRUE(choose);
    EXPECT_EQ(focusTargets_.at(RowSheetField::openFilePathField), choose);
    panels_->chooseNext(report);
    QTest::mouseClick(choose, Qt::LeftButton);
    ASSERT_EQ(panels_->shown.size(), 1u);
    EXPECT_EQ(panels_->shown[0].title, "Choose File");
    EXPECT_EQ(panels_->shown[0].directoryURL->path(), "/old/file.txt"); // the file itself
    EXPECT_EQ(entry<p::openFile>(Kind::openFile), (p::openFile{report.path(), "/apps/viewer.desktop"}));
    EXPECT_TRUE(visibleTexts().contains(QString::fromStdString(report.path())));
    // Cancelled: nothing written.
    const auto writes = writes_.size();
    QTest::mouseClick(choose, Qt::LeftButton);
    EXPECT_EQ(writes_.size(), writes);
    EXPECT_EQ(panels_->shown[1].directoryURL->path(), report.path());

    open(Kind::openFolder);
    panels_->chooseNext(docs);
    QTest::mouseClick(control<QPushButton>("Choose Folder Path"), Qt::LeftButton);
    EXPECT_EQ(panels_->shown[2].title, "Choose Folder");
    EXPECT_EQ(entry<p::openFolder>(Kind::openFolder), (p::openFolder{docs.path(), std::nullopt}));
    panels_->chooseNext(docs);
    QTest::mouseClick(control<QPushButton>("Choose Folder Path"), Qt::LeftButton);
    EXPECT_TRUE(panels_->shown[3].directoryURL->hasDirectoryPath());
    EXPECT_EQ(panels_->shown[3].directoryURL->path(), docs.path());

    const auto tool = makeFile("bin/tool", "#!/bin/sh\n");
    ::chmod(tool.path().c_str(), 0755);
    entries_[Kind::executeFile] = p::executeFile{"", std::string("-v")};
    open(Kind::executeFile);
    panels_->chooseNext(tool);
    QTest::mouseClick(control<QPushButton>("Choose"), Qt::LeftButton);
    EXPECT_EQ(panels_->shown[4].title, "Choose Executable File");
    EXPECT_EQ(panels_->shown[4].directoryURL->path(), "/"); // nothing chosen yet: the kind's folder
    EXPECT_EQ(entry<p::executeFile>(Kind::executeFile), (p::executeFile{tool.path(), std::string("-v")}));

    entries_[Kind::runAppleScript] = p::runAppleScript{"/scripts/old.sh"};
    open(Kind::runAppleScript);
    EXPECT_EQ(focusTargets_.at(RowSheetField::runApplieScriptPathField), control<QPushButton>("Choose"));
    QTest::mouseClick(control<QPushButton>("Choose"), Qt::LeftButton);
    EXPECT_EQ(panels_->shown[5].title, "Choose Script");
    EXPECT_EQ(panels_->shown[5].directoryURL->path(), "/scripts/old.sh");
    EXPECT_EQ(entry<p::runAppleScript>(Kind::runAppleScript).path, "/scripts/old.sh");
}

TEST_F(ActionKindEditorsTest, applicationChoosersStartBesideTheChosenOneAndWriteOnlyTheirField) {
    const auto viewer = desktopEntry("viewer");
    entries_[Kind::openFolder] = p::openFolder{"/data", "/old/apps/files.desktop"};
    open(Kind::openFolder);
    // "Other…" shows where the chooser was asked to start.
    const auto other = makeFile("bin/other", "#!/bin/sh\n");
    ::chmod(other.path().c_str(), 0755);
    panels_->chooseNext(other);
    whenApplicationChooserShows(
        [](ApplicationChooserDialog& dialog) { QTest::mouseClick(dialog.otherButton(), Qt::LeftButton); });
    QTest::mouseClick(control<QPushButton>("Choose Application"), Qt::LeftButton);
    ASSERT_EQ(panels_->shown.size(), 1u);
    EXPECT_EQ(panels_->shown[0].directoryURL->path(), "/old/apps");
    EXPECT_EQ(entry<p::openFolder>(Kind::openFolder), (p::openFolder{"/data", other.path()}));
    EXPECT_TRUE(visibleTexts().contains(QString::fromStdString(other.path())));

    // A cancelled chooser leaves the application in place: nothing clears it.
    whenApplicationChooserShows([](ApplicationChooserDialog& dialog) { dialog.reject(); });
    QTest::mouseClick(control<QPushButton>("Choose Application"), Qt::LeftButton);
    EXPECT_EQ(entry<p::openFolder>(Kind::openFolder).applicationPath, other.path());

    entries_[Kind::openApp] = p::openApp{"", true, false, "--x"};
    open(Kind::openApp);
    whenApplicationChooserShows([](ApplicationChooserDialog& dialog) {
        dialog.list()->setCurrentRow(0);
        QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>("Choose App"), Qt::LeftButton);
    EXPECT_EQ(entry<p::openApp>(Kind::openApp), (p::openApp{viewer.string(), true, false, "--x"}));
    // Shown by its entry's name and icon; the path is the tool tip.
    auto* chosen = editor_->findChildren<PathLabel*>().front();
    EXPECT_EQ(chosen->text(), "viewer");
    EXPECT_EQ(chosen->toolTip(), QString::fromStdString(viewer.string()));
    EXPECT_TRUE(dynamic_cast<PathRow&>(*chosen->parentWidget()).iconLabel()->isVisibleTo(editor_.get()));
    // Chosen once: the next chooser starts in the folder that holds it.
    panels_->chooseNext(other);
    whenApplicationChooserShows(
        [](ApplicationChooserDialog& dialog) { QTest::mouseClick(dialog.otherButton(), Qt::LeftButton); });
    QTest::mouseClick(control<QPushButton>("Choose App"), Qt::LeftButton);
    EXPECT_EQ(panels_->shown[1].directoryURL->path(), applications_.string());
    EXPECT_EQ(entry<p::openApp>(Kind::openApp).path, other.path());
}

TEST_F(ActionKindEditorsTest, doubleClickOrReturnOnAPathAsksTheFileManagerAndASingleClickNothing) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) TAVLIN_SKIP_WITHOUT_DESKTOP("no session bus");
    workspace_.setShowItems([](const std::string& uri) {
        QDBusConnection session = QDBusConnection::sessionBus();
        return showItemsInFileManager(session, uri);
    });
    // As another process would: a connection of its own owns the name.
    const QString name = QStringLiteral("file_manager_of_the_editor_test");
    QDBusConnection manager = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    ASSERT_TRUE(manager.isConnected());
    FakeFileManager fake;
    ASSERT_TRUE(manager.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fake));
    ASSERT_TRUE(manager.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    entries_[Kind::openFile] = p::openFile{"/tmp/a <b>b</b>.txt", std::nullopt};
    open(Kind::openFile);
    auto* path = editor_->findChildren<PathLabel*>().front();
    ASSERT_TRUE(path->isVisibleTo(editor_.get()));
    EXPECT_EQ(path->text(), "/tmp/a <b>b</b>.txt");
    EXPECT_EQ(path->textFormat(), Qt::PlainText);
    QTest::mouseClick(path, Qt::LeftButton);
    QTest::mouseDClick(path, Qt::LeftButton);
    // The keyboard's way: a Tab stop that Return reveals.
    EXPECT_EQ(path->focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(path, Qt::Key_Return);
    // The bus keeps one sender's calls in order: whatever the clicks sent arrives before a marker
    // sent after them.
    workspace_.activateFileViewerSelecting("/marker");
    QTRY_VERIFY_WITH_TIMEOUT(fake.shown.contains(QStringLiteral("file:///marker")), 20000);
    const std::string uri = FileUrl("/tmp/a <b>b</b>.txt", false).absoluteString();
    EXPECT_EQ(fake.shown.join(' ').toStdString(), uri + " " + uri + " file:///marker");
    EXPECT_TRUE(workspace_.openedURLs.empty());

    manager.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    manager.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(name);
}

} // namespace
} // namespace tavlin::flateditor
