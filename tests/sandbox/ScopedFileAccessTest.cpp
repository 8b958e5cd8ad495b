#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>

#include "SandboxTestSupport.h"
#include "platform/base/Diagnostics.h"
#include "platform/compat/SecurityScope.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/ScopedFileAccess.h"

namespace tavlin::sandbox {
namespace {

namespace fs = std::filesystem;
using Fail = ScopedFileAccess::Fail;
using Opened = std::map<std::string, int>;

constexpr WindowHandle window{42};

// What one request's completion saw.
struct Outcome {
    int calls = 0;
    std::optional<AccessInfo> info;
    std::optional<Fail::Case> fail;
    std::optional<AccessInfo> failInfo;
    Opened openInCompletion;

    ScopedFileAccess::Completion completion() {
        return [this](const Result<AccessInfo>& result) {
            ++calls;
            openInCompletion = securityScope::openAccesses();
            if (result.hasValue()) return void(info = result.value());
            try {
                std::rethrow_exception(result.error());
            } catch (const Fail& f) {
                fail = f.failCase();
                failInfo = f.info();
            }
        };
    }
};

class ScopedFileAccessTest : public test::SandboxTest {
protected:
    Outcome request(const FileUrl& url, Permissions required = Permissions::bookmark, bool persist = true,
                    std::optional<WindowHandle> on = window, bool ask = true) {
        Outcome outcome;
        access_->access(url, required, ask, on, persist, outcome.completion());
        return outcome;
    }
    std::optional<DefaultsValue::Data> stored(const FileUrl& url) {
        return UserDefaults::standard()->data("bd_" + url.absoluteString());
    }

    std::shared_ptr<ScopedFileAccess> access_ = std::make_shared<ScopedFileAccess>();
};

TEST_F(ScopedFileAccessTest, GrantOnceThenLaterRequestsNeedNoPanel) {
    auto file = makeFile("docs/a.txt");
    panels_->chooseNext(file);

    auto first = request(file);
    ASSERT_EQ(first.calls, 1);
    ASSERT_TRUE(first.info);
    EXPECT_EQ(first.info->securityScopedURL, file);
    EXPECT_EQ(first.openInCompletion, (Opened{{file.path(), 1}}));
    EXPECT_TRUE(securityScope::openAccesses().empty());
    EXPECT_TRUE(stored(file));

    EXPECT_TRUE(request(file).info);
    UserDefaults::resetSharedSuites(); // a later run reads the grant back from its file
    Outcome later;
    std::make_shared<ScopedFileAccess>()->access(file, Permissions::bookmark, true, window, true, later.completion());
    EXPECT_TRUE(later.info);
    EXPECT_EQ(panels_->shown.size(), 1u);
}

// The caller gets the item it asked for; access is opened on the granted folder.
TEST_F(ScopedFileAccessTest, ParentFolderGrantCoversChildAndHandsBackTheChild) {
    auto folder = makeFolder("docs");
    auto file = makeFile("docs/a.txt");
    auto nested = makeFile("docs/sub/b.txt");
    panels_->chooseNext(folder);

    auto first = request(file);
    ASSERT_TRUE(first.info && first.info->securityScopedURL);
    EXPECT_EQ(first.info->securityScopedURL->path(), file.path());
    EXPECT_EQ(first.openInCompletion, (Opened{{folder.path(), 1}}));
    EXPECT_TRUE(stored(folder)) << folder.absoluteString();

    securityScope::Recording recording;
    auto second = request(nested);
    ASSERT_TRUE(second.info);
    EXPECT_EQ(second.info->securityScopedURL->path(), nested.path());
    EXPECT_EQ(panels_->shown.size(), 1u);
    ASSERT_EQ(recording.calls().size(), 2u);
    EXPECT_EQ(recording.calls()[1].kind, securityScope::Recording::Call::Kind::stop);
    EXPECT_TRUE(securityScope::openAccesses().empty());
}

TEST_F(ScopedFileAccessTest, RefusalsFailWithTheirOwnCase) {
    auto file = makeFile("a.txt");
    diag::Capture lines;

    auto refused = request(file); // the panel is cancelled
    EXPECT_EQ(refused.calls, 1);
    EXPECT_EQ(refused.fail, Fail::Case::userDidntGrantPermission);
    EXPECT_EQ(refused.failInfo->permissions, (Permissions{Permissions::read, Permissions::readWrite}));
    EXPECT_FALSE(stored(file));

    EXPECT_EQ(request(file, Permissions::bookmark, true, window, false).fail, Fail::Case::needToAskPermission);
    EXPECT_EQ(request(file, Permissions::bookmark, true, std::nullopt).fail, Fail::Case::noWindowProvided);
    EXPECT_EQ(lines.lines(),
              (std::vector<std::string>{"ERROR: Unable to ask permission in ScopedFileAccess as no window has been given"}));
    EXPECT_EQ(panels_->shown.size(), 1u);

    Outcome withoutPanel;
    EXPECT_FALSE(access_->access(file, Permissions::bookmark, withoutPanel.completion()).hasValue());
    EXPECT_EQ(withoutPanel.fail, Fail::Case::needToAskPermission);
}

TEST_F(ScopedFileAccessTest, RequirementIsMetByAnySharedOption) {
    auto file = makeFile("a.txt");
    auto now = request(file, Permissions::none, true, std::nullopt);
    EXPECT_TRUE(now.info) << "an empty requirement needs neither panel nor window";
    EXPECT_TRUE(access_->canAccess(file, Permissions::anyRead));
    EXPECT_FALSE(access_->canAccess(file, Permissions::bookmark)) << "readable is no bookmark";

    unreadable_.insert(file.path());
    EXPECT_FALSE(access_->canAccess(file, Permissions::anyRead));
    access_->persistPermission(file);
    EXPECT_TRUE(access_->canAccess(file, Permissions::anyRead)) << "a bookmark alone";
    EXPECT_TRUE(panels_->shown.empty());
}

TEST_F(ScopedFileAccessTest, ReadChecksUseThePathGivenAndBookmarksTheResolvedOne) {
    auto real = makeFile("real/a.txt");
    fs::create_directory_symlink(root_ / "real", root_ / "link");
    access_->persistPermission(real);
    probed_.clear();
    auto info = access_->canAccess(url("link/a.txt"));
    EXPECT_EQ(info.securityScopedURL, real);
    EXPECT_EQ(probed_, (std::vector<std::string>(2, url("link/a.txt").path())));
}

TEST_F(ScopedFileAccessTest, StaleBookmarkIsReplacedAndBadOnesAreKept) {
    auto file = makeFile("a.txt");
    auto original = access_->persistPermission(file);
    replaceFile("a.txt");
    auto info = access_->canAccess(file);
    EXPECT_TRUE(info.securityScopedURL);
    EXPECT_NE(info.bookmarkData, original);
    EXPECT_EQ(stored(file), info.bookmarkData);

    // Data that does not resolve grants nothing, but stays: its item may come back.
    bookmark::Data garbage{1, 2, 3};
    UserDefaults::standard()->set("bd_" + file.absoluteString(), garbage);
    info = access_->canAccess(file);
    EXPECT_EQ(info.bookmarkData, garbage);
    EXPECT_FALSE(info.securityScopedURL);
    EXPECT_FALSE(info.permissions.contains(Permissions::bookmark));
    EXPECT_EQ(stored(file), garbage);
}

TEST_F(ScopedFileAccessTest, FailedStartIsReportedAndNotStopped) {
    auto file = makeFile("a.txt");
    UserDefaults::standard()->set("bd_" + file.absoluteString(), bookmark::create(file, bookmark::creationNone));
    diag::Capture lines;
    securityScope::Recording recording;
    EXPECT_EQ(request(file).fail, Fail::Case::unexpectedlyUnableToAccessBookmark);
    EXPECT_EQ(lines.lines(), (std::vector<std::string>{"Unexpectedly failed to startAccessingSecurityScopedResource"}));
    EXPECT_EQ(recording.calls().size(), 1u);
}

TEST_F(ScopedFileAccessTest, AccessIsStoppedEvenWhenTheCompletionThrows) {
    auto file = makeFile("a.txt");
    access_->persistPermission(file);
    auto throwing = [](const Result<AccessInfo>&) { throw std::runtime_error("caller failed"); };
    EXPECT_THROW(access_->access(file, Permissions::bookmark, throwing), std::runtime_error);
    EXPECT_TRUE(securityScope::openAccesses().empty());
}

TEST_F(ScopedFileAccessTest, GrantWithoutPersistSucceedsWithoutBookmark) {
    auto file = makeFile("a.txt");
    panels_->chooseNext(file);
    auto outcome = request(file, Permissions::bookmark, false);
    ASSERT_TRUE(outcome.info);
    EXPECT_FALSE(outcome.info->securityScopedURL);
    EXPECT_FALSE(stored(file));
}

TEST_F(ScopedFileAccessTest, RequestFromAnotherThreadShowsThePanelOnTheMainThreadLater) {
    auto file = makeFile("a.txt");
    panels_->chooseNext(file);
    panels_->onMainThread = false;
    Outcome outcome;
    std::thread([&] { access_->access(file, Permissions::bookmark, true, window, true, outcome.completion()); }).join();
    EXPECT_EQ(outcome.calls, 0);
    ASSERT_EQ(panels_->queuedWork.size(), 1u);

    panels_->onMainThread = true;
    panels_->queuedWork[0]();
    EXPECT_TRUE(outcome.info);
    EXPECT_EQ(panels_->panelsAlive, 0) << "the panel goes once its sheet has ended";
}

TEST_F(ScopedFileAccessTest, StoreWalksUpToButNotIncludingTheRoot) {
    ScopedFileAccessPersist store;
    auto folder = makeFolder("docs");
    auto file = makeFile("docs/sub/a.txt");
    store.setBookmark(bookmark::Data{9}, folder);
    EXPECT_TRUE(store.bookmarkData(file));
    EXPECT_FALSE(store.bookmarkData(FileUrl(folder.path(), false))) << "without the final / it is another key";
    store.clearBookmark(file);
    EXPECT_TRUE(store.bookmarkData(file)) << "clearing the file leaves its folder's grant";

    UserDefaults::standard()->set("bd_file:///", bookmark::Data{9});
    EXPECT_FALSE(store.bookmarkData(FileUrl("/elsewhere", false)));

    UserDefaults::standard()->set("unrelated", 1);
    ScopedFileAccessPersist::clearAllBookmarks();
    EXPECT_FALSE(store.bookmarkData(file));
    EXPECT_TRUE(UserDefaults::standard()->object("unrelated"));
}

} // namespace
} // namespace tavlin::sandbox
