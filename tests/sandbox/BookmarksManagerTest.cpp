#include <gtest/gtest.h>

#include "SandboxTestSupport.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/BookmarksManager.h"

namespace tavlin::sandbox {
namespace {

class BookmarksManagerTest : public test::SandboxTest {
protected:
    DefaultsValue::Dictionary stored() {
        return UserDefaults::standard()->dictionary(BookmarksManager::storeKey).value_or(DefaultsValue::Dictionary{});
    }
    void store(DefaultsValue value) { UserDefaults::standard()->set(BookmarksManager::storeKey, std::move(value)); }

    void SetUp() override {
        SandboxTest::SetUp();
        manager_.emplace(UserDefaults::standard()); // the test's own suite, made only now
    }

    std::optional<BookmarksManager> manager_;
};

TEST_F(BookmarksManagerTest, FolderBookmarkCoversEverythingBelowWithRootLast) {
    auto folder = makeFolder("docs");
    manager_->addBookmark(folder);
    EXPECT_EQ(stored().count(folder.path()), 1u) << "keyed by path, without the final /";
    EXPECT_EQ(manager_->resolveBookmark(url("docs/sub/a.txt")), folder);
    EXPECT_TRUE(manager_->bookmarkData(FileUrl(folder.path(), false))) << "with or without /: one entry";
    EXPECT_FALSE(manager_->bookmarkData(url("other.txt")));

    manager_->addBookmark(FileUrl("/", true));
    EXPECT_TRUE(manager_->bookmarkData(url("other.txt")));
    EXPECT_EQ(manager_->bookmarkedURLs(), (std::set<FileUrl>{folder, FileUrl("/", true)}));
}

// One value of another kind must neither hide nor lose the others.
TEST_F(BookmarksManagerTest, BadStoredValueIsSkippedAndKept) {
    auto kept = makeFile("kept.txt");
    auto data = manager_->createReadOnlyBookmark(kept);
    store(DefaultsValue::Dictionary{{kept.path(), data}, {"/bad", "not data"}});
    EXPECT_EQ(manager_->bookmarks(), (std::map<std::string, bookmark::Data>{{kept.path(), data}}));

    manager_->addBookmark(makeFile("added.txt"));
    EXPECT_EQ(stored().size(), 3u);
    EXPECT_EQ(stored().at("/bad"), DefaultsValue("not data"));
    manager_->removeBookmark(url("added.txt"));
    EXPECT_EQ(stored().size(), 2u);
    manager_->removeAllBookmarks();
    EXPECT_TRUE(stored().empty());

    store("not a dictionary");
    EXPECT_TRUE(manager_->bookmarks().empty());
    manager_->addBookmark(kept);
    EXPECT_EQ(manager_->bookmarks().size(), 1u);
}

TEST_F(BookmarksManagerTest, StaleDataIsNeitherStoredNorResolved) {
    auto file = makeFile("a.txt");
    auto data = manager_->createReadOnlyBookmark(file);
    replaceFile("a.txt");
    manager_->storeBookmark(data);
    EXPECT_TRUE(stored().empty());

    store(DefaultsValue::Dictionary{{file.path(), data}});
    EXPECT_EQ(manager_->resolveBookmark(file), std::nullopt);
    EXPECT_EQ(manager_->bookmarks().size(), 1u) << "and the stale entry stays";

    EXPECT_THROW(manager_->storeBookmark(bookmark::Data{1, 2, 3}), bookmark::BookmarkError);
    EXPECT_THROW(manager_->addBookmark(url("missing.txt")), bookmark::BookmarkError);
    EXPECT_FALSE(manager_->resolveBookmark(manager_->createBookmark(file))->securityScope()) << "a plain bookmark";
}

} // namespace
} // namespace tavlin::sandbox
