#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "actionediting/ApplicationChooserDialog.h"
#include "actionediting/ApplicationInfo.h"
#include "actionediting/ChoosersTestSupport.h"
#include "actionediting/PathChooser.h"
#include "model/FileHelper.h"
#include "platform/base/Diagnostics.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/SandboxTestSupport.h"
#include "support/QtTestApplication.h"

namespace tavlin::flateditor {
namespace {

TEST_F(ChoosersTest, filePanelsGetTheirKindsSettingsAndKeepABookmark) {
    const auto chosen = makeFile("docs/report.txt");
    panels_->chooseNext(chosen);
    EXPECT_EQ(choose(Kind::file, std::nullopt), chosen.path());
    ASSERT_EQ(panels_->shown.size(), 1u);
    const auto& file = panels_->shown[0];
    EXPECT_EQ(file.title, "Choose File");
    EXPECT_EQ(file.prompt, "Choose");
    EXPECT_TRUE(file.canChooseFiles && !file.canChooseDirectories && file.showsHiddenFiles && file.canCreateDirectories);
    EXPECT_EQ(file.directoryURL->path(), tempHome().home().string());
    EXPECT_TRUE(hasBookmark(chosen.absoluteString()));

    const auto folder = makeFolder("docs");
    panels_->chooseNext(folder);
    EXPECT_EQ(choose(Kind::folder, folder.absoluteString()), folder.path());
    EXPECT_EQ(panels_->shown[1].title, "Choose Folder");
    EXPECT_TRUE(panels_->shown[1].canChooseDirectories && !panels_->shown[1].canChooseFiles);
    EXPECT_EQ(panels_->shown[1].directoryURL->path(), folder.path());
    EXPECT_TRUE(hasBookmark(folder.absoluteString()));

    EXPECT_FALSE(choose(Kind::executable, std::string("https://example.com/x/")));
    EXPECT_EQ(panels_->shown[2].title, "Choose Executable File");
    EXPECT_EQ(panels_->shown[2].directoryURL->path(), "/");

    EXPECT_FALSE(choose(Kind::appleScript, std::nullopt));
    const auto scripts = FileHelper::applicationScriptsDirectory();
    ASSERT_TRUE(scripts);
    EXPECT_EQ(panels_->shown[3].message, "Your scripts live in " + scripts->string());
    EXPECT_EQ(panels_->shown[3].directoryURL->path(), scripts->string());
}

TEST_F(ChoosersTest, withoutAScriptsFolderNoPanelShows) {
    // A file where the data folder should be: no scripts folder can be made.
    test::writeFile(root_ / "not-a-folder", "x");
    const test::SavedEnvironment data{"XDG_DATA_HOME"};
    ::setenv("XDG_DATA_HOME", (root_ / "not-a-folder").c_str(), 1);
    diag::Capture capture;
    EXPECT_FALSE(choose(Kind::appleScript, std::nullopt));
    EXPECT_TRUE(panels_->shown.empty());
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(ChoosersTest, cancelAndOkWithoutAUrlChooseNothing) {
    diag::Capture capture;
    panels_->answerNext(modalResponse::cancel);
    EXPECT_FALSE(choose(Kind::file, std::nullopt));
    EXPECT_TRUE(capture.lines().empty());
    panels_->answerNext(modalResponse::ok);
    EXPECT_FALSE(choose(Kind::file, std::nullopt));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"failed to get the url chosen by users"});
}

TEST_F(ChoosersTest, applicationDialogListsFiltersAndAnswersTheEntry) {
    entry("org.example.Zeta", "Name=Zeta\nExec=zeta-bin %F\n");
    const auto alpha = entry("org.example.alpha",
                             "Name=Alpha\nName[de]=Alfa\nExec=" + (root_ / "bin" / "alpha-tool").string() + "\n");
    entry("hidden", "Name=Hidden\nHidden=true\nExec=x\n");
    entry("nodisplay", "Name=NoDisplay\nNoDisplay=true\nExec=x\n");
    entry("markup", "Name=Markup <b>Bold</b>\nExec=markup\n");
    test::writeFile(applications_ / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
    const test::SavedEnvironment locale{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    ::setenv("LC_ALL", "C", 1);
    ::unsetenv("LANGUAGE");

    std::vector<QString> names;
    QString answered;
    whenDialogShows([&](ApplicationChooserDialog& dialog) {
        for (int i = 0; i < dialog.list()->count(); ++i) names.push_back(dialog.list()->item(i)->text());
        QTest::keyClicks(dialog.filterField(), "ALPHA-T"); // the program, in any case
        int shown = 0;
        for (int i = 0; i < dialog.list()->count(); ++i) shown += !dialog.list()->item(i)->isHidden();
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(dialog.list()->currentItem()->toolTip().toStdString(), alpha.string());
        answered = dialog.list()->currentItem()->text();
        QTest::mouseClick(dialog.chooseButton(), Qt::LeftButton);
    });
    const auto chosen = choose(Kind::application, std::nullopt);
    EXPECT_EQ(chosen, alpha.string());
    EXPECT_EQ(names, (std::vector<QString>{"Alpha", "Markup <b>Bold</b>", "Zeta"}));
    EXPECT_EQ(answered, "Alpha");
    EXPECT_TRUE(hasBookmark(FileUrl(alpha.string(), false).absoluteString()));
    // A stored path shows in the user's language.
    ::setenv("LC_ALL", "de_AT.UTF-8", 1);
    EXPECT_EQ(ApplicationInfo::name(alpha.string()), "Alfa");
}

// "xterm" finds XTerm before the names it begins and those it sits in; Down goes on into the
// list, and a filter that shows nothing keeps the focus (and has no current item to enter).
TEST_F(ChoosersTest, applicationDialogRanksTheExactNameFirstAndDownEntersTheList) {
    std::vector<xdg::ApplicationCatalog::Entry> entries;
    for (const char* name : {"UXTerm", "Xterminal", "Axterm Viewer", "XTerm"}) {
        auto& entry = entries.emplace_back();
        entry.id = entry.name = name;
        entry.path = std::string("/apps/") + name + ".desktop";
    }
    ApplicationChooserDialog dialog(entries, {});
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog, 20000));
    dialog.filterField()->setFocus();
    QTest::keyClicks(dialog.filterField(), "zzz");
    EXPECT_FALSE(dialog.list()->currentItem());
    QTest::keyClick(dialog.filterField(), Qt::Key_Down);
    EXPECT_TRUE(dialog.filterField()->hasFocus());

    dialog.filterField()->clear();
    QTest::keyClicks(dialog.filterField(), "xterm");
    QStringList shown;
    for (int i = 0; i < dialog.list()->count(); ++i)
        if (!dialog.list()->item(i)->isHidden()) shown << dialog.list()->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"XTerm", "Xterminal", "Axterm Viewer", "UXTerm"}));
    EXPECT_EQ(dialog.list()->currentItem()->text(), "XTerm");
    QTest::keyClick(dialog.filterField(), Qt::Key_Down);
    ASSERT_TRUE(dialog.list()->hasFocus());
    QTest::keyClick(dialog.list(), Qt::Key_Down);
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_EQ(dialog.chosenPath(), "/apps/Xterminal.desktop");
}

TEST_F(ChoosersTest, applicationDialogCancelAndOther) {
    entry("one", "Name=One\nExec=one\n");
    whenDialogShows([](ApplicationChooserDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(choose(Kind::application, std::nullopt));

    const auto tool = makeFile("bin/tool", "#!/bin/sh\n");
    panels_->chooseNext(tool);
    whenDialogShows([](ApplicationChooserDialog& dialog) { QTest::mouseClick(dialog.otherButton(), Qt::LeftButton); });
    const auto folder = makeFolder("bin");
    EXPECT_EQ(choose(Kind::application, folder.absoluteString()), tool.path());
    ASSERT_EQ(panels_->shown.size(), 1u);
    EXPECT_EQ(panels_->shown[0].title, "Choose Application");
    EXPECT_EQ(panels_->shown[0].directoryURL->path(), folder.path());
}

TEST_F(ChoosersTest, oddEntriesShowPlainlyWithoutBlocking) {
    const std::string longName(4000, 'x');
    const auto huge = applications_ / "huge.desktop";
    test::writeFile(huge, "[Desktop Entry]\nType=Application\nName=Huge\nExec=h\n" + std::string(4 << 20, '#'));
    const auto binary = applications_ / "binary.desktop";
    test::writeFile(binary, std::string("\0\xff\xfe[Desktop Entry]\n\0", 20));
    const auto device = entry("device", "Name=Device\nIcon=/dev/zero\nExec=d\n");
    const auto fifoIcon = root_ / "icon-fifo";
    ASSERT_EQ(::mkfifo(fifoIcon.c_str(), 0600), 0);
    const auto fifoEntry = entry("fifo", "Name=Fifo\nIcon=" + fifoIcon.string() + "\nExec=f\n");
    const auto fifo = root_ / "app.desktop";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto odd = entry("odd", "Name=" + longName + "\nExec=o\n");

    EXPECT_EQ(ApplicationInfo::name(fifo.string()), "app.desktop");
    EXPECT_EQ(ApplicationInfo::name(binary.string()), "binary.desktop");
    EXPECT_EQ(ApplicationInfo::name(odd.string()).size(), 4000);
    EXPECT_EQ(ApplicationInfo::name("/no/such/thing.desktop"), "thing.desktop");
    EXPECT_EQ(ApplicationInfo::name("/path/with\nnewline"), "with\nnewline");
    for (const auto& path : {fifo, device, fifoEntry, huge, binary, std::filesystem::path("/dev/zero")}) {
        const QIcon icon = ApplicationInfo::icon(path.string());
        (void)icon.pixmap(16, 16); // drawing it must not read the device or the FIFO
    }
    whenDialogShows([](ApplicationChooserDialog& dialog) {
        dialog.grab();
        dialog.reject();
    });
    EXPECT_FALSE(choose(Kind::application, std::nullopt));
}

} // namespace
} // namespace tavlin::flateditor
