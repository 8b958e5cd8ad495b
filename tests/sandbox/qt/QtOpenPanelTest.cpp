#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QSortFilterProxyModel>

#include "platform/qt/QtOpenPanel.h"
#include "sandbox/ScopedFileAccess.h"
#include "support/QtTestApplication.h"
#include "support/TempHome.h"

namespace tavlin::qt {
namespace {

namespace fs = std::filesystem;

// The access panel's dialog, built as ScopedFileAccess builds it, inspected and driven without
// ever being shown.
class QtOpenPanelTest : public ::testing::Test {
protected:
    // One home for the suite, set before Qt first looks for it: the dialogs save their state
    // (QSettings) when they go, and Qt keeps the settings folder it found first.
    static void SetUpTestSuite() {
        home_.emplace();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "sandbox_qt_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) application_ = new QApplication(argc, argv);
    }

    static void TearDownTestSuite() { home_.reset(); }

    void SetUp() override {
        root_ = fs::canonical(home_->root()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        test::writeFile(root_ / "docs/a.txt", "a");
        test::writeFile(root_ / "docs/b.txt", "b");
        previous_ = setOpenPanelProvider(std::make_shared<QtOpenPanelProvider>());
    }

    void TearDown() override {
        setOpenPanelProvider(previous_);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // As the dialog's button does.
    static void clickChoose(QFileDialog* dialog) { QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); }

    QString path(const std::string& relative) const { return QString::fromStdString((root_ / relative).string()); }

    Qt::ItemFlags flagsOf(QtOpenPanel& panel, const std::string& relative) {
        auto* proxy = panel.itemsModel();
        auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
        QModelIndex index = proxy->mapFromSource(files->index(path(relative)));
        EXPECT_TRUE(index.isValid()) << relative;
        return proxy->flags(index);
    }

    static inline QApplication* application_ = nullptr;
    static inline std::optional<test::TempHome> home_;
    fs::path root_;
    std::shared_ptr<OpenPanelProvider> previous_;
    sandbox::ScopedFileAccess access_;
};

TEST_F(QtOpenPanelTest, FileRequestShowsTheTextsAndTakesOnlyTheRequestedPath) {
    FileUrl file((root_ / "docs/a.txt").string(), false);
    auto request = access_.requestPermission(file);
    auto* panel = dynamic_cast<QtOpenPanel*>(request.panel.get());
    ASSERT_NE(panel, nullptr);
    QFileDialog* dialog = panel->prepare();

    EXPECT_EQ(dialog->windowTitle(), "Allow Access");
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Allow");
    EXPECT_EQ(panel->messageLabel()->text(), "tavlin needs to access 'a.txt' to continue. Click Allow to continue.");
    EXPECT_TRUE(dialog->testOption(QFileDialog::ReadOnly)) << "no new folders";
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->directory().absolutePath(), path("docs"));
    EXPECT_FALSE(dialog->isVisible());

    EXPECT_TRUE(flagsOf(*panel, "docs/a.txt") & Qt::ItemIsEnabled);
    EXPECT_TRUE(flagsOf(*panel, "docs") & Qt::ItemIsEnabled);
    EXPECT_FALSE(flagsOf(*panel, "docs/b.txt") & Qt::ItemIsEnabled);
    EXPECT_FALSE(flagsOf(*panel, "docs/b.txt") & Qt::ItemIsSelectable);

    // A choice off the path (typed, say) is refused in the dialog; the requested item is taken.
    dialog->selectFile(path("docs/b.txt"));
    clickChoose(dialog);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(panel->errorLabel()->text(), "Please allow the originally requested location");
    EXPECT_FALSE(panel->errorLabel()->isHidden());
    EXPECT_TRUE(panel->urls().empty());

    dialog->selectFile(path("docs/a.txt"));
    clickChoose(dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(panel->urls().size(), 1u);
    EXPECT_EQ(panel->urls()[0], file);
    EXPECT_EQ(panel->urls()[0].securityScope(), file.path()) << "the choice is the grant";
}

TEST_F(QtOpenPanelTest, FolderRequestChoosesFoldersOnly) {
    FileUrl folder((root_ / "docs").string(), true);
    auto request = access_.requestPermission(folder);
    auto* panel = dynamic_cast<QtOpenPanel*>(request.panel.get());
    QFileDialog* dialog = panel->prepare();
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_FALSE(flagsOf(*panel, "docs/a.txt") & Qt::ItemIsEnabled) << "the folder's contents are off the path";

    dialog->selectFile(path("docs"));
    clickChoose(dialog);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(panel->urls().size(), 1u);
    EXPECT_EQ(panel->urls()[0], folder);
}

// Handles come from the core, which may name no window or one long gone: only a live widget
// handed out as a handle becomes a parent, anything else gives a panel of its own.
TEST_F(QtOpenPanelTest, OnlyHandlesOfLiveWidgetsBecomeParents) {
    auto window = std::make_unique<QWidget>();
    const WindowHandle handle = windowHandle(window.get());
    EXPECT_EQ(widget(handle), window.get());
    EXPECT_EQ(widget(noParentWindow), nullptr);
    EXPECT_EQ(widget(WindowHandle{1}), nullptr);
    window.reset();
    EXPECT_EQ(widget(handle), nullptr) << "a handle outliving its widget";

    for (const WindowHandle unknown : {noParentWindow, WindowHandle{1}, handle}) {
        QtOpenPanel panel;
        std::optional<int> response;
        panel.beginSheet(unknown, [&](int result) { response = result; });
        auto* dialog = panel.itemsModel() ? qobject_cast<QFileDialog*>(panel.itemsModel()->parent()) : nullptr;
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), nullptr);
        EXPECT_TRUE(dialog->isModal());
        EXPECT_TRUE(dialog->isVisible());
        dialog->reject();
        EXPECT_EQ(response, modalResponse::cancel);
    }
}

} // namespace
} // namespace tavlin::qt
