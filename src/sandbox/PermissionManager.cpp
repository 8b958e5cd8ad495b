#include "sandbox/PermissionManager.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/compat/SecurityScope.h"
#include "platform/files/FileAccessProbe.h"
#include "platform/files/Files.h"

namespace tavlin::sandbox {

namespace fs = std::filesystem;

PermissionManager::PermissionManager(std::shared_ptr<OpenPanelManagerProtocol> openPanelManager,
                                     std::shared_ptr<BookmarksManagerProtocol> bookmarksManager)
    : openPanelManager_(std::move(openPanelManager)), bookmarksManager_(std::move(bookmarksManager)) {}

const std::shared_ptr<PermissionManager>& PermissionManager::shared() {
    static const std::shared_ptr<PermissionManager> instance = std::make_shared<PermissionManager>(
        std::make_shared<OpenPanelManager>(), std::make_shared<BookmarksManager>());
    return instance;
}

bool PermissionManager::needsPermission(const FileUrl& url) {
    std::error_code ec;
    if (!fs::exists(fs::path(url.path()), ec)) throw FileError::fromErrno(ENOENT, url.path(), "open");
    return !fileAccess::isReadable(url.path());
}

std::optional<FileUrl> PermissionManager::askPermission(const FileUrl& url) {
    if (!needsPermission(url)) return url;
    auto chosen = openPanelManager_->requestAccess(url);
    if (!chosen.hasValue()) std::rethrow_exception(chosen.error());
    return chosen.value();
}

bool PermissionManager::withSecurityScopedAccess(const FileUrl& url, const Block& block) {
    bool started = securityScope::startAccessing(url);
    try {
        block();
    } catch (...) {
        securityScope::stopAccessing(url);
        throw;
    }
    securityScope::stopAccessing(url);
    return started;
}

bool PermissionManager::access(const FileUrl& fileURL, const Block& block) {
    if (!needsPermission(fileURL)) {
        block();
        return true;
    }
    std::lock_guard guard(lock_);
    std::optional<FileUrl> url = bookmarksManager_->resolveBookmark(fileURL);
    if (!url) url = askPermission(fileURL);
    if (!url) return false; // askPermission always answers a URL; kept for safety
    if (persistBookmarks_) bookmarksManager_->addBookmark(*url);
    return withSecurityScopedAccess(*url, block);
}

} // namespace tavlin::sandbox
