#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include <QtCore/QLocale>
#include <QtCore/QSortFilterProxyModel>
#include <QtCore/QTimer>
#include <QtGui/QFileSystemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>

#include <sys/stat.h>

#include "actionediting/ApplicationChooserDialog.h"
#include "actionediting/core/ActionKinds.h"
#include "configwindow/ActionComposeSheet.h"
#include "configwindow/ContentViewHarness.h"
#include "model/KeyNames.h"
#include "model/Settings.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/qt/QtOpenPanel.h"
#include "sandbox/BookmarksManager.h"
#include "sandbox/SandboxTestSupport.h"
#include "support/QtTestApplication.h"
#include "support/TextFit.h"

namespace tavlin {
namespace {

using namespace test;

template <class W>
W* named(QWidget* root, const QString& name) {
    for (W* widget : root->findChildren<W*>()) {
        if (widget->accessibleName() == name && widget->isVisibleTo(root)) return widget;
    }
    return nullptr;
}

class ActionFieldsTest : public ContentViewTest {
protected:
    void SetUp() override {
        ContentViewTest::SetUp();
        previousPanels_ = setOpenPanelProvider(panels_);
        setHelperRunningProbe([this] { return helperRuns_; });
        home_ = std::getenv("HOME");
    }
    void TearDown() override {
        setHelperRunningProbe(nullptr);
        setOpenPanelProvider(previousPanels_);
        QLocale::setDefault(QLocale::c());
        ContentViewTest::TearDown();
    }
    ActionComposeSheet* sheet() { return dynamic_cast<ActionComposeSheet*>(view_->openSheet()); }
    QWidget* fields() { return sheet()->fieldsEditor(); }
    void addAction(const QString& kindTitle) {
        if (!view_) open(R"({"hotKeys":[],"decision":{"actions":[],"chances":[]}})");
        choose("Add Root Action");
        ASSERT_TRUE(sheet());
        const int index = sheet()->kindPicker()->findText(kindTitle);
        ASSERT_GE(index, 0) << kindTitle.toStdString();
        sheet()->kindPicker()->setCurrentIndex(index);
    }
    void type(const QString& field, const QString& text) {
        auto* edit = named<QLineEdit>(fields(), field);
        ASSERT_TRUE(edit) << field.toStdString();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void clickButton(const QString& title) {
        auto* button = named<QPushButton>(fields(), title);
        ASSERT_TRUE(button) << title.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    std::string makeFile(const std::string& name, bool executable) {
        const auto path = home_ / name;
        writeFile(path, "#!/bin/sh\n");
        ::chmod(path.c_str(), executable ? 0755 : 0644);
        return path.string();
    }
    // Saves and answers the JSON of the last root action as the file holds it.
    nlohmann::json saveAndReadBack() {
        EXPECT_TRUE(sheet()->saveButton()->isEnabled());
        QTest::mouseClick(sheet()->saveButton(), Qt::LeftButton);
        return nlohmann::json::parse(fileText())["decision"]["actions"].back();
    }
    // Answers the list of applications, once it is up, with `drive`.
    template <class Drive>
    static void whenApplicationsShow(Drive drive) {
        test::whenShown<ApplicationChooserDialog>([drive](ApplicationChooserDialog& dialog) {
            drive(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the list of applications is still open";
                dialog.reject();
            }
        });
    }
    std::vector<QString> visibleNames() {
        std::vector<QString> names;
        for (QWidget* widget : fields()->findChildren<QWidget*>()) {
            if (widget->isVisibleTo(fields()) && !widget->accessibleName().isEmpty()) names.push_back(widget->accessibleName());
        }
        return names;
    }

    std::shared_ptr<FakePanelProvider> panels_ = std::make_shared<FakePanelProvider>();
    std::shared_ptr<OpenPanelProvider> previousPanels_;
    bool helperRuns_ = true;
    std::filesystem::path home_;
};

TEST_F(ActionFieldsTest, EveryKindIsComposedThroughItsFieldsAndSavedExactly) {
    // The machine's own applications stay out of the list.
    const test::SavedEnvironment dataDirs{"XDG_DATA_DIRS"};
    ::setenv("XDG_DATA_DIRS", (home_ / "none").c_str(), 1);
    const auto app = (tempHome().dataHome() / "applications" / "my app.desktop").string();
    writeFile(app, "[Desktop Entry]\nType=Application\nName=My App\nExec=true my-app\n");
    const auto tool = makeFile("tool", true);
    const auto folder = (home_ / "a folder\nwith newline").string();
    std::filesystem::create_directories(folder);
    struct Case {
        QString kind;
        std::function<void()> edit;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"Notification", [&] { type("Title", "Hi"); }, R"({"notification":{"title":"Hi"}})"},
        {"Open URL",
         [&] {
             type("URL", "https://e.org");
             whenApplicationsShow([](ApplicationChooserDialog& dialog) {
                 QTest::keyClicks(dialog.filterField(), "my app");
                 QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
             });
             clickButton("Choose Application");
         },
         nullptr},
        {"Open App",
         [&] {
             QTest::mouseClick(named<QCheckBox>(fields(), "Hide App If Running"), Qt::LeftButton);
             type("Launch Arguments", "-x");
             panels_->chooseNext(FileUrl::fromPath(tool));
             whenApplicationsShow(
                 [](ApplicationChooserDialog& dialog) { QTest::mouseClick(dialog.otherButton(), Qt::LeftButton); });
             clickButton("Choose");
         },
         nullptr},
        {"Open Folder",
         [&] {
             panels_->chooseNext(FileUrl::fromPath(folder));
             clickButton("Choose Folder Path");
         },
         nullptr},
        {"Run Menu Command", [&] { type("Menu Title", "Copy"); }, R"({"menuCommand":{"info":{"menuTitle":"Copy"}}})"},
        {"Execute File",
         [&] {
             panels_->chooseNext(FileUrl::fromPath(tool));
             clickButton("Choose");
             type("Arguments", "a");
             QTest::keyClick(named<QLineEdit>(fields(), "Arguments"), Qt::Key_Backspace);
         },
         nullptr},
        {"Simulate Keystroke",
         [&] {
             auto* picker = named<QComboBox>(fields(), "Key");
             picker->setCurrentIndex(1);
             emit picker->activated(1);
             QTest::mouseClick(named<QCheckBox>(fields(), "Shift"), Qt::LeftButton);
         },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind.toStdString());
        addAction(c.kind);
        c.edit();
        const auto stored = saveAndReadBack();
        if (c.expected) {
            EXPECT_EQ(stored, nlohmann::json::parse(c.expected));
        }
        if (c.kind == "Open URL") {
            EXPECT_EQ(stored, (nlohmann::json{{"openURL", {{"url", "https://e.org"}, {"applicationPath", app}}}}));
        } else if (c.kind == "Open App") {
            EXPECT_EQ(stored["openApp"]["path"], tool);
            EXPECT_EQ(stored["openApp"]["hideAppIfRunning"], true);
            EXPECT_EQ(stored["openApp"]["launchArgumentsText"], "-x");
            EXPECT_EQ(stored["openApp"]["switchToPreviousApp"], false);
        } else if (c.kind == "Open Folder") {
            EXPECT_EQ(stored, (nlohmann::json{{"openFolder", {{"folderPath", folder}}}}));
        } else if (c.kind == "Execute File") {
            // Typed, then deleted: the empty text, not none.
            EXPECT_EQ(stored, (nlohmann::json{{"executeFile", {{"path", tool}, {"argumentsText", ""}}}}));
        } else if (c.kind == "Simulate Keystroke") {
            const auto& keystroke = stored["simulateKeystroke"]["keystroke"];
            EXPECT_EQ(keystroke["mainKeyCode"], sortedAvailableKeyCodes()[1]);
            EXPECT_EQ(keystroke["shift"], true);
            EXPECT_EQ(keystroke["cmd"], false);
        }
    }
}

TEST_F(ActionFieldsTest, LabelledURLAndTitleWholePlaceholdersAndOneWidthAcrossKinds) {
    addAction("Run Script");
    const int width = sheet()->width();
    sheet()->kindPicker()->setFocus();
    for (const QString& kind : {QStringLiteral("Open URL"), QStringLiteral("Notification")}) {
        while (sheet()->kindPicker()->currentIndex() > sheet()->kindPicker()->findText(kind))
            QTest::keyClick(sheet()->kindPicker(), Qt::Key_Up);
        EXPECT_EQ(sheet()->width(), width);
        EXPECT_LE(sheet()->height(), sheet()->sizeHint().height()) << "a blank gap";
        for (const QLineEdit* field : sheet()->findChildren<QLineEdit*>())
            if (field->isVisibleTo(sheet())) {
                EXPECT_TRUE(showsWhole(*field, field->placeholderText()));
            }
        auto* field = named<QLineEdit>(fields(), kind == "Open URL" ? "URL" : "Title");
        const auto labels = fields()->findChildren<QLabel*>();
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](QLabel* label) { return label->buddy() == field; }));
    }
}

TEST_F(ActionFieldsTest, FieldsFollowTheHelperAndKeepWhatIsHidden) {
    helperRuns_ = false;
    addAction("Open URL");
    EXPECT_EQ(visibleNames(), (std::vector<QString>{"URL"}));
    // An application path chosen while the helper ran stays in the values and is saved.
    sheet()->params()[ActionConfigurationKind::openURL] = actionparams::openURL{"", std::string("/usr/bin/x")};
    sheet()->kindPicker()->setCurrentIndex(sheet()->kindPicker()->findText("Notification"));
    sheet()->kindPicker()->setCurrentIndex(sheet()->kindPicker()->findText("Open URL"));
    type("URL", "u");
    const auto stored = saveAndReadBack();
    EXPECT_EQ(stored["openURL"]["applicationPath"], "/usr/bin/x");

    addAction("Open App");
    EXPECT_EQ(visibleNames(), (std::vector<QString>{"Choose", "Hide App If Running"}));
    helperRuns_ = true;
    sheet()->kindPicker()->setCurrentIndex(sheet()->kindPicker()->findText("Open URL"));
    sheet()->kindPicker()->setCurrentIndex(sheet()->kindPicker()->findText("Open App"));
    EXPECT_EQ(visibleNames(), (std::vector<QString>{"Choose", "Hide App If Running", "Launch Arguments"}));

    addAction("Execute File");
    ASSERT_TRUE(named<QLineEdit>(fields(), "Arguments"));
    EXPECT_TRUE(
        named<QLabel>(fields(), QString::fromUtf8(executeFileNote.data(), static_cast<qsizetype>(executeFileNote.size()))));
    // The path label shows only once there is a path; untouched arguments store nothing.
    EXPECT_EQ(fields()->findChildren<QLabel*>().size(), 2);
    panels_->chooseNext(FileUrl::fromPath(makeFile("run me", true)));
    clickButton("Choose");
    EXPECT_TRUE(named<QLabel>(fields(), QString::fromStdString((home_ / "run me").string())));
    EXPECT_FALSE(saveAndReadBack()["executeFile"].contains("argumentsText"));

    addAction("Run Script");
    const auto scripts = *FileHelper::applicationScriptsDirectory();
    clickButton(QString::fromStdString(scripts.string()));
    EXPECT_EQ(workspace_.openedURLs, (std::vector<std::string>{FileUrl::fromPath(scripts.string()).absoluteString()}));
}

// A kind's fields are made anew at each change of kind: Tab still meets them between the kind
// and the description, and passes the empty preview by.
TEST_F(ActionFieldsTest, TabFollowsTheLayoutAfterAChangeOfKind) {
    addAction("Notification");
    sheet()->kindPicker()->setCurrentIndex(sheet()->kindPicker()->findText("Open URL"));
    QCoreApplication::processEvents(); // the new fields show
    ASSERT_TRUE(sheet()->descriptionField()->text().isEmpty());
    std::vector<QWidget*> stops{sheet()->kindPicker()};
    stops.front()->setFocus();
    while (stops.size() < 30) {
        QTest::keyClick(stops.back(), Qt::Key_Tab);
        QWidget* next = sheet()->focusWidget();
        if (!next || next == stops.front()) break;
        stops.push_back(next);
    }
    const auto description = std::find(stops.begin(), stops.end(), static_cast<QWidget*>(sheet()->descriptionField()));
    ASSERT_NE(description, stops.end());
    const auto fieldStops = std::count_if(stops.begin(), stops.end(),
                                          [&](QWidget* stop) { return fields()->isAncestorOf(stop); });
    EXPECT_GT(fieldStops, 0);
    EXPECT_EQ(std::count_if(stops.begin(), description, [&](QWidget* stop) { return fields()->isAncestorOf(stop); }), fieldStops);
    EXPECT_EQ(std::count(stops.begin(), stops.end(), static_cast<QWidget*>(sheet()->descriptionPreview())), 0);
    EXPECT_EQ(stops.back(), sheet()->cancelButton());
}

TEST_F(ActionFieldsTest, DelaysReadTheLocaleAndKeepTheLastFiniteValue) {
    settings::appGroupStore()->set(settings::keys::showExperimentalActions, true);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    addAction("Stop Key Sequence After Delay");
    auto* field = named<QLineEdit>(fields(), "Stop Key Sequence After Delay (seconds):");
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), "0,5");
    type("Stop Key Sequence After Delay (seconds):", "0,25");
    // Pasted whole: each is one edit.
    for (const char* bad : {"abc", "inf", "nan", "1e999"}) {
        field->selectAll();
        field->insert(QString::fromLatin1(bad));
    }
    EXPECT_EQ(saveAndReadBack()["stopKeySequenceAfterDelay"]["delay"], 0.25);

    addAction("Continue From Interruption");
    type("Continue From Interruption After Seconds:", "-1");
    EXPECT_EQ(saveAndReadBack()["continueFromInterruption"]["delay"], -1);
}

TEST_F(ActionFieldsTest, ChoosersUseTheirPanelsAndBookmarks) {
    // The shared manager outlives each test's home: forget what earlier tests of the program chose.
    sandbox::BookmarksManager::shared()->removeAllBookmarks();
    AlertRecorder alerts;
    // The shared manager outlives the homes of earlier tests in this program, with their bookmarks.
    sandbox::BookmarksManager::shared()->removeAllBookmarks();
    addAction("Open File");
    panels_->answerNext(modalResponse::cancel);
    clickButton("Choose File Path");
    ASSERT_EQ(panels_->shown.size(), 1u);
    const auto& shown = panels_->shown[0];
    EXPECT_EQ(shown.title, "Choose File");
    EXPECT_EQ(shown.prompt, "Choose");
    EXPECT_EQ(shown.nameFieldLabel, "Choose:");
    EXPECT_TRUE(shown.showsHiddenFiles && shown.canChooseFiles && !shown.canChooseDirectories);
    EXPECT_EQ(shown.directoryURL->path(), home_.string());
    EXPECT_TRUE(sandbox::BookmarksManager::shared()->bookmarks().empty());

    const auto file = makeFile("notes", false);
    panels_->chooseNext(FileUrl::fromPath(file));
    clickButton("Choose File Path");
    panels_->chooseNext(FileUrl::fromPath(file));
    clickButton("Choose File Path");
    EXPECT_EQ(sandbox::BookmarksManager::shared()->bookmarks().size(), 1u);
    EXPECT_TRUE(sandbox::BookmarksManager::shared()->bookmarks().count(file));

    // A chosen item that is gone: no bookmark, the alert, and the old path stays.
    diag::Capture capture;
    panels_->chooseNext(FileUrl::fromPath((home_ / "gone").string()));
    clickButton("Choose File Path");
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].first,
              "Failed to grant access to " + FileUrl::fromPath((home_ / "gone").string()).absoluteString());
    EXPECT_EQ(std::get<actionparams::openFile>(sheet()->params().at(ActionConfigurationKind::openFile)).filePath, file);
    panels_->answerNext(modalResponse::ok);
    clickButton("Choose File Path");
    EXPECT_EQ(capture.lines().back(), "failed to get the url chosen by users");

    addAction("Execute File");
    clickButton("Choose");
    EXPECT_EQ(panels_->shown.back().title, "Choose Executable File");
    EXPECT_EQ(panels_->shown.back().directoryURL->path(), "/");
    addAction("Run Script");
    clickButton("Choose");
    EXPECT_EQ(panels_->shown.back().title, "Choose Script");
    EXPECT_EQ(panels_->shown.back().message, "Your scripts live in " + FileHelper::applicationScriptsDirectory()->string());
}

TEST_F(ActionFieldsTest, AKeyCodeNotInThePickerShowsNoSelectionAndIsKept) {
    writeFile(configurationFile(), R"({"hotKeys":[],"decision":{"actions":[
        {"simulateKeystroke":{"keystroke":{"mainKeyCode":500,"cmd":true,"shift":false,"option":false,"control":false}}}],
        "chances":[]}})");
    open(fileContents(configurationFile()));
    click(rowAt({0}));
    choose("Edit Action");
    ASSERT_TRUE(sheet());
    auto* picker = named<QComboBox>(fields(), "Key");
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->count(), 100);
    EXPECT_EQ(picker->itemText(0), "A");
    EXPECT_EQ(picker->currentIndex(), -1);
    EXPECT_EQ(saveAndReadBack()["simulateKeystroke"]["keystroke"]["mainKeyCode"], 500);
}

// Qt's dialog as the script chooser shows it, inspected and answered instead of being run.
class InspectedPanelProvider final : public qt::QtOpenPanelProvider {
public:
    std::function<int(qt::QtOpenPanel&, QFileDialog&)> answer;
    std::unique_ptr<OpenPanel> makePanel() override { return std::make_unique<Panel>(*this); }

private:
    class Panel final : public qt::QtOpenPanel {
    public:
        explicit Panel(InspectedPanelProvider& provider) : provider_(provider) {}
        int runModal() override { return provider_.answer(*this, *prepare()); }

    private:
        InspectedPanelProvider& provider_;
    };
};

TEST_F(ActionFieldsTest, TheScriptPanelGreysOutWhatIsNotAScriptAndRefusesItAgain) {
    const auto folder = *FileHelper::applicationScriptsDirectory();
    writeFile(folder / "notes.txt", "x");
    writeFile(folder / "run.sh", "#!/bin/sh\n");
    ::chmod((folder / "run.sh").c_str(), 0755);
    auto provider = std::make_shared<InspectedPanelProvider>();
    setOpenPanelProvider(provider);
    provider->answer = [&](qt::QtOpenPanel& panel, QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Choose Script");
        EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "Choose");
        EXPECT_EQ(dialog.labelText(QFileDialog::FileName), "Choose:");
        EXPECT_EQ(dialog.directory().absolutePath(), QString::fromStdString(folder.string()));
        auto* files = qobject_cast<QFileSystemModel*>(panel.itemsModel()->sourceModel());
        const auto flags = [&](const char* name) {
            return panel.itemsModel()->flags(
                panel.itemsModel()->mapFromSource(files->index(QString::fromStdString((folder / name).string()))));
        };
        EXPECT_FALSE(flags("notes.txt") & Qt::ItemIsEnabled);
        EXPECT_TRUE(flags("run.sh") & Qt::ItemIsEnabled);
        dialog.selectFile(QString::fromStdString((folder / "notes.txt").string()));
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(panel.errorLabel()->isHidden());
        dialog.selectFile(QString::fromStdString((folder / "run.sh").string()));
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        return dialog.result() == QDialog::Accepted ? modalResponse::ok : modalResponse::cancel;
    };
    addAction("Run Script");
    clickButton("Choose");
    EXPECT_EQ(std::get<actionparams::runAppleScript>(sheet()->params().at(ActionConfigurationKind::runAppleScript)).path,
              (folder / "run.sh").string());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
} // namespace tavlin
