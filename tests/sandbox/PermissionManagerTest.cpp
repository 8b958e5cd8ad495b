#include <gtest/gtest.h>

#include <stdexcept>

#include "SandboxTestSupport.h"
#include "platform/compat/SecurityScope.h"
#include "platform/files/Files.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/PermissionManager.h"

namespace tavlin::sandbox {
namespace {

class PermissionManagerTest : public test::SandboxTest {
protected:
    OpenPanelError::Case panelFailure(const FileUrl& file) {
        try {
            manager_->access(file, [] {});
        } catch (const OpenPanelError& error) {
            return error.errorCase();
        }
        ADD_FAILURE() << "no panel error";
        return OpenPanelError::Case::canceled;
    }

    void SetUp() override {
        SandboxTest::SetUp();
        bookmarks_ = std::make_shared<BookmarksManager>(UserDefaults::standard()); // the test's own suite
        manager_.emplace(std::make_shared<OpenPanelManager>(), bookmarks_);
    }

    std::shared_ptr<BookmarksManager> bookmarks_;
    std::optional<PermissionManager> manager_;
};

TEST_F(PermissionManagerTest, ReadablePathRunsAtOnceAndMissingPathFails) {
    auto file = makeFile("a.txt");
    securityScope::Recording recording;
    int runs = 0;
    EXPECT_TRUE(manager_->access(file, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(panels_->shown.empty());
    EXPECT_TRUE(recording.calls().empty());
    EXPECT_TRUE(bookmarks_->bookmarks().empty());

    try {
        manager_->access(url("missing.txt"), [&] { ++runs; });
        ADD_FAILURE() << "a missing path was accepted";
    } catch (const FileError& error) {
        EXPECT_EQ(error.kind(), FileError::Kind::noSuchFile);
    }
    EXPECT_EQ(runs, 1);
}

TEST_F(PermissionManagerTest, UnreadablePathIsGrantedOnceAndStoredAgainOnEachUse) {
    auto folder = makeFolder("docs");
    auto file = makeFile("docs/a.txt");
    unreadable_.insert(file.path());
    panels_->chooseNext(folder);

    std::map<std::string, int> openInBlock;
    EXPECT_TRUE(manager_->access(file, [&] { openInBlock = securityScope::openAccesses(); }));
    ASSERT_EQ(panels_->shown.size(), 1u);
    const auto& shown = panels_->shown[0];
    EXPECT_EQ(shown.title, "Access permissions required");
    EXPECT_EQ(shown.message, "Please allow 'tavlin' to access this file or folder to continue.");
    EXPECT_EQ(shown.prompt, "Allow");
    EXPECT_TRUE(shown.canChooseFiles && shown.canChooseDirectories);
    EXPECT_EQ(shown.directoryURL, folder);
    EXPECT_EQ(openInBlock, (std::map<std::string, int>{{folder.path(), 1}}));
    EXPECT_TRUE(securityScope::openAccesses().empty());
    EXPECT_EQ(bookmarks_->bookmarks().count(folder.path()), 1u);

    int writes = 0;
    UserDefaults::standard()->addObserver([&] { ++writes; });
    EXPECT_TRUE(manager_->access(file, [] {}));
    EXPECT_EQ(panels_->shown.size(), 1u) << "served from the stored bookmark";
    EXPECT_EQ(writes, 1) << "and stored again";
    manager_->setPersistBookmarks(false);
    manager_->access(file, [] {});
    EXPECT_EQ(writes, 1);
}

TEST_F(PermissionManagerTest, PanelEndingsBecomeErrorsAndReleaseTheLock) {
    auto file = makeFile("a.txt");
    unreadable_.insert(file.path());
    EXPECT_EQ(panelFailure(file), OpenPanelError::Case::canceled);
    panels_->answerNext(modalResponse::stop);
    EXPECT_EQ(panelFailure(file), OpenPanelError::Case::stopped);
    panels_->answerNext(modalResponse::abort);
    EXPECT_EQ(panelFailure(file), OpenPanelError::Case::aborted);
    panels_->chooseNext(file);
    EXPECT_TRUE(manager_->access(file, [] {})) << "would block for ever had a failure kept the lock";
}

TEST_F(PermissionManagerTest, ScopedAccessAlwaysStops) {
    auto unscoped = makeFile("a.txt");
    securityScope::Recording recording;
    int runs = 0;
    EXPECT_FALSE(manager_->withSecurityScopedAccess(unscoped, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(recording.calls().size(), 2u);
    EXPECT_EQ(recording.calls()[1].kind, securityScope::Recording::Call::Kind::stop);

    auto scoped = unscoped.withSecurityScope(unscoped.path());
    EXPECT_THROW(manager_->withSecurityScopedAccess(scoped, [] { throw std::runtime_error("block failed"); }),
                 std::runtime_error);
    EXPECT_TRUE(securityScope::openAccesses().empty());
}

TEST_F(PermissionManagerTest, OpenPanelManagerTexts) {
    EXPECT_EQ(OpenPanelManager::defaultMessage("Other"), "Please allow 'Other' to access this file or folder to continue.");
    setMainBundleNames({});
    EXPECT_EQ(appDisplayName(), "Current App");
    OpenPanelManager bare(std::nullopt, std::nullopt, std::nullopt);
    bare.requestAccess(makeFile("a.txt"));
    EXPECT_FALSE(panels_->shown.back().title || panels_->shown.back().message || panels_->shown.back().prompt);
}

// Outside the fixture: the dying child must leave no temporary home behind.
TEST(OpenPanelManagerDeathTest, UnknownPanelResponseStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto panels = std::make_shared<test::FakePanelProvider>();
            panels->answerNext(7);
            setOpenPanelProvider(panels);
            OpenPanelManager().requestAccess(FileUrl("/nowhere/a.txt", false));
        },
        "tavlin/OpenPanelManager");
}

} // namespace
} // namespace tavlin::sandbox
