#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/files/FileUrl.h"
#include "sandbox/BookmarksManager.h"
#include "sandbox/OpenPanelManager.h"

namespace tavlin::sandbox {

// Runs work on a path the process may not read: takes a stored bookmark that covers it, or asks
// with the open panel, stores the grant and runs the block inside the security-scoped access.
// Failures are thrown: FileError for a missing path, BookmarkError from the bookmark layer,
// OpenPanelError from the panel, and whatever the block throws.
class PermissionManager {
public:
    using Block = std::function<void()>;

    PermissionManager(std::shared_ptr<OpenPanelManagerProtocol> openPanelManager,
                      std::shared_ptr<BookmarksManagerProtocol> bookmarksManager);
    virtual ~PermissionManager() = default;

    // Default panel texts over the standard user defaults; made on first use.
    static const std::shared_ptr<PermissionManager>& shared();

    bool persistBookmarks() const { return persistBookmarks_; }
    void setPersistBookmarks(bool persist) { persistBookmarks_ = persist; }

    // True when the path exists but cannot be read; throws for a path that does not exist.
    virtual bool needsPermission(const FileUrl& url);
    // The URL itself when no grant is needed, else the location chosen in the panel.
    virtual std::optional<FileUrl> askPermission(const FileUrl& url);
    // Runs the block between a start and a stop of the URL's access (the stop comes whatever
    // the start answered) and answers whether the start succeeded.
    virtual bool withSecurityScopedAccess(const FileUrl& url, const Block& block);
    // Runs the block on the path, asking for a grant when one is needed. Requests that need one
    // are serialized; the block must not make another such request on the same manager.
    virtual bool access(const FileUrl& fileURL, const Block& block);

private:
    std::shared_ptr<OpenPanelManagerProtocol> openPanelManager_;
    std::shared_ptr<BookmarksManagerProtocol> bookmarksManager_;
    bool persistBookmarks_ = true;
    std::mutex lock_;
};

} // namespace tavlin::sandbox
