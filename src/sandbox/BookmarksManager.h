#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/compat/Bookmark.h"
#include "platform/files/FileUrl.h"
#include "platform/files/UserDefaults.h"

namespace tavlin::sandbox {

// Operations that "may fail" throw the bookmark layer's BookmarkError.
class BookmarksManagerProtocol {
public:
    virtual ~BookmarksManagerProtocol() = default;
    virtual void removeAllBookmarks() = 0;
    virtual bookmark::Data createBookmark(const FileUrl& url) = 0;
    virtual bookmark::Data createReadOnlyBookmark(const FileUrl& url) = 0;
    virtual std::optional<FileUrl> resolveBookmark(const bookmark::Data& data) = 0;
    virtual std::optional<FileUrl> resolveBookmark(const FileUrl& url) = 0;
    virtual std::optional<bookmark::Data> bookmarkData(const FileUrl& coveringPath) = 0;
    virtual void addBookmark(const FileUrl& url) = 0;
    virtual void storeBookmark(const bookmark::Data& data) = 0;
    virtual void removeBookmark(const FileUrl& url) = 0;
};

// Bookmarks of paths chosen in the action editor: one user-defaults dictionary from a path (no
// final "/") to bookmark data, read and written whole.
class BookmarksManager : public BookmarksManagerProtocol {
public:
    static constexpr const char* storeKey = "Sandbox.BookmarksManager.Bookmarks";

    // Over the standard user defaults, looked up at each use: a process-wide manager then never
    // keeps a suite object that was forgotten (resetSharedSuites).
    BookmarksManager();
    explicit BookmarksManager(std::shared_ptr<UserDefaults> userDefaults);

    // Over the standard user defaults; made on first use.
    static const std::shared_ptr<BookmarksManager>& shared();

    // The stored entries that hold bookmark data; entries of any other kind are skipped.
    virtual std::map<std::string, bookmark::Data> bookmarks() const;
    virtual std::set<FileUrl> bookmarkedURLs() const;

    void removeAllBookmarks() override;
    bookmark::Data createBookmark(const FileUrl& url) override;
    bookmark::Data createReadOnlyBookmark(const FileUrl& url) override;
    // Nothing for a stale bookmark.
    std::optional<FileUrl> resolveBookmark(const bookmark::Data& data) override;
    std::optional<FileUrl> resolveBookmark(const FileUrl& url) override;
    // The entry for the path, else for the nearest enclosing folder, "/" last.
    std::optional<bookmark::Data> bookmarkData(const FileUrl& coveringPath) override;
    void addBookmark(const FileUrl& url) override;
    // Stores the data under the path it resolves to; stale data is not stored.
    void storeBookmark(const bookmark::Data& data) override;
    void removeBookmark(const FileUrl& url) override;

private:
    // The stored dictionary as it is, entries of other kinds included, so that writing one entry
    // back never drops the others.
    DefaultsValue::Dictionary storedDictionary() const;
    std::shared_ptr<UserDefaults> store() const;

    std::shared_ptr<UserDefaults> userDefaults_; // nothing: the standard suite
};

} // namespace tavlin::sandbox
