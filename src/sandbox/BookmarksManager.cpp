#include "sandbox/BookmarksManager.h"

namespace tavlin::sandbox {

BookmarksManager::BookmarksManager() = default;

BookmarksManager::BookmarksManager(std::shared_ptr<UserDefaults> userDefaults) : userDefaults_(std::move(userDefaults)) {}

const std::shared_ptr<BookmarksManager>& BookmarksManager::shared() {
    static const std::shared_ptr<BookmarksManager> instance = std::make_shared<BookmarksManager>();
    return instance;
}

std::shared_ptr<UserDefaults> BookmarksManager::store() const { return userDefaults_ ? userDefaults_ : UserDefaults::standard(); }

DefaultsValue::Dictionary BookmarksManager::storedDictionary() const {
    return store()->dictionary(storeKey).value_or(DefaultsValue::Dictionary{});
}

std::map<std::string, bookmark::Data> BookmarksManager::bookmarks() const {
    std::map<std::string, bookmark::Data> result;
    for (const auto& [path, value] : storedDictionary()) {
        if (const auto* data = value.get<DefaultsValue::Data>()) result.emplace(path, *data);
    }
    return result;
}

std::set<FileUrl> BookmarksManager::bookmarkedURLs() const {
    std::set<FileUrl> urls;
    for (const auto& entry : bookmarks()) urls.insert(FileUrl::fromPath(entry.first));
    return urls;
}

void BookmarksManager::removeAllBookmarks() { store()->set(storeKey, DefaultsValue::Dictionary{}); }

bookmark::Data BookmarksManager::createBookmark(const FileUrl& url) { return bookmark::create(url, bookmark::creationNone); }

bookmark::Data BookmarksManager::createReadOnlyBookmark(const FileUrl& url) {
    return bookmark::create(url, bookmark::creationSecurityScopeAllowOnlyReadAccess);
}

std::optional<FileUrl> BookmarksManager::resolveBookmark(const bookmark::Data& data) {
    auto resolution = bookmark::resolve(data, bookmark::resolutionWithSecurityScope);
    if (resolution.isStale) return std::nullopt;
    return resolution.url;
}

std::optional<FileUrl> BookmarksManager::resolveBookmark(const FileUrl& url) {
    auto data = bookmarkData(url);
    if (!data) return std::nullopt;
    return resolveBookmark(*data);
}

std::optional<bookmark::Data> BookmarksManager::bookmarkData(const FileUrl& coveringPath) {
    auto stored = bookmarks();
    FileUrl current = coveringPath;
    while (true) {
        if (auto found = stored.find(current.path()); found != stored.end()) return found->second;
        if (current.pathComponents().size() < 2) return std::nullopt;
        current = current.deletingLastPathComponent();
    }
}

void BookmarksManager::addBookmark(const FileUrl& url) { storeBookmark(createReadOnlyBookmark(url)); }

void BookmarksManager::storeBookmark(const bookmark::Data& data) {
    auto resolution = bookmark::resolve(data, bookmark::resolutionWithSecurityScope);
    if (resolution.isStale) return;
    auto stored = storedDictionary();
    stored.insert_or_assign(resolution.url.path(), DefaultsValue(data));
    store()->set(storeKey, std::move(stored));
}

void BookmarksManager::removeBookmark(const FileUrl& url) {
    auto stored = storedDictionary();
    stored.erase(url.path());
    store()->set(storeKey, std::move(stored));
}

} // namespace tavlin::sandbox
