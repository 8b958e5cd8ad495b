#include "sandbox/ScopedFileAccess.h"

#include <filesystem>
#include <system_error>

#include "platform/base/Diagnostics.h"
#include "platform/compat/SecurityScope.h"
#include "platform/files/FileAccessProbe.h"
#include "platform/files/UserDefaults.h"
#include "sandbox/BundleNames.h"

namespace tavlin::sandbox {

namespace fs = std::filesystem;

namespace {

// Bookmark look-ups go through the standardized URL with symbolic links resolved.
FileUrl lookupUrl(const FileUrl& url) { return url.standardized().resolvingSymlinksInPath(); }

std::optional<bookmark::Data> createScopedBookmark(const FileUrl& url) {
    try {
        return bookmark::create(url, bookmark::creationWithSecurityScope);
    } catch (const bookmark::BookmarkError&) {
        return std::nullopt;
    }
}

Result<AccessInfo> failure(ScopedFileAccess::Fail::Case failCase, const AccessInfo& info) {
    return Result<AccessInfo>(std::make_exception_ptr(ScopedFileAccess::Fail(failCase, info)));
}

// Closes an opened access on every way out, a throwing completion included.
class AccessStopper {
public:
    explicit AccessStopper(FileUrl url) : url_(std::move(url)) {}
    ~AccessStopper() { securityScope::stopAccessing(url_); }
    AccessStopper(const AccessStopper&) = delete;
    AccessStopper& operator=(const AccessStopper&) = delete;

private:
    FileUrl url_;
};

} // namespace

ScopedFileAccess::Fail::Fail(Case failCase, AccessInfo info)
    : case_(failCase), info_(std::move(info)), description_("The file could not be accessed (ScopedFileAccess.Fail error " +
                                                            std::to_string(static_cast<int>(failCase)) + ").") {}

// MARK: the store

std::string ScopedFileAccessPersist::key(const FileUrl& url) { return "bd_" + url.absoluteString(); }

std::optional<bookmark::Data> ScopedFileAccessPersist::bookmarkData(const FileUrl& url) {
    auto defaults = UserDefaults::standard();
    FileUrl current = url;
    // The item, then each enclosing folder, nearest first; "/" itself is never tried.
    while (current.path().size() > 1) {
        if (auto data = defaults->data(key(current))) return data;
        current = current.deletingLastPathComponent();
    }
    return std::nullopt;
}

void ScopedFileAccessPersist::setBookmark(const std::optional<bookmark::Data>& data, const FileUrl& url) {
    if (data) UserDefaults::standard()->set(key(url), *data);
    else UserDefaults::standard()->remove(key(url));
}

void ScopedFileAccessPersist::clearBookmark(const FileUrl& url) { UserDefaults::standard()->remove(key(url)); }

void ScopedFileAccessPersist::clearAllBookmarks() {
    auto defaults = UserDefaults::standard();
    for (const auto& [key, value] : defaults->dictionaryRepresentation()) {
        if (key.starts_with("bd_")) defaults->remove(key);
    }
}

// MARK: access

ScopedFileAccess::ScopedFileAccess()
    : title_("Allow Access"), prompt_("Allow"), defaultDelegate_(std::make_shared<ScopedFileAccessPersist>()) {}

std::shared_ptr<ScopedFileAccessProtocol> ScopedFileAccess::effectiveDelegate() const {
    if (auto delegate = bookmarkPersistanceDelegate_.lock()) return delegate;
    return defaultDelegate_;
}

AccessInfo ScopedFileAccess::canAccess(const FileUrl& url) {
    FileUrl lookup = lookupUrl(url);
    BookmarkLookup found = resolveBookmark(lookup);
    AccessInfo info;
    info.bookmarkData = found.data;
    if (found.url) {
        info.permissions = info.permissions | Permissions::bookmark;
        // A grant of an enclosing folder covers the item: hand back the item itself, reached
        // through the folder's scope, so that the caller uses what it asked for.
        if (found.url->path() != lookup.path() && found.url->contains(lookup)) {
            info.securityScopedURL = found.url->securityScope() ? lookup.withSecurityScope(*found.url->securityScope())
                                                                : lookup.withoutSecurityScope();
        } else {
            info.securityScopedURL = found.url;
        }
    }
    if (fileAccess::isReadable(url.path())) info.permissions = info.permissions | Permissions::read;
    if (fileAccess::isReadWritable(url.path())) info.permissions = info.permissions | Permissions::readWrite;
    return info;
}

bool ScopedFileAccess::canAccess(const FileUrl& url, Permissions permissions) {
    return canAccess(url).permissions.meets(permissions);
}

void ScopedFileAccess::access(const FileUrl& url, Permissions permissions, bool askIfNecessary,
                              std::optional<WindowHandle> window, bool persist, Completion completion) {
    AccessInfo info = canAccess(url);
    if (info.permissions.meets(permissions)) {
        accessAndRun(info, completion);
        return;
    }
    if (!askIfNecessary) {
        completion(failure(Fail::Case::needToAskPermission, info));
        return;
    }
    if (!window) {
        diag::printLine(diag::Category::actions,
                        "ERROR: Unable to ask permission in ScopedFileAccess as no window has been given");
        completion(failure(Fail::Case::noWindowProvided, info));
        return;
    }
    auto self = weak_from_this().lock(); // keeps a shared owner's object alive until the panel ends
    requestPermissionOnMainThread(
        lookupUrl(url), window,
        [this, self, completion = std::move(completion), info, persist, url](const std::optional<FileUrl>& chosen) {
            if (!chosen) {
                completion(failure(Fail::Case::userDidntGrantPermission, info));
                return;
            }
            if (persist) {
                if (auto data = createScopedBookmark(*chosen)) effectiveDelegate()->setBookmark(data, *chosen);
            }
            accessAndRun(canAccess(url), completion);
        });
}

Result<AccessInfo> ScopedFileAccess::access(const FileUrl& url, Permissions permissions, const Completion& completion) {
    AccessInfo info = canAccess(url);
    if (!info.permissions.meets(permissions)) {
        auto result = failure(Fail::Case::needToAskPermission, info);
        completion(result);
        return result;
    }
    return accessAndRun(info, completion);
}

Result<AccessInfo> ScopedFileAccess::accessAndRun(const AccessInfo& info, const Completion& block) {
    if (!info.securityScopedURL) {
        Result<AccessInfo> result(info);
        block(result);
        return result;
    }
    if (!securityScope::startAccessing(*info.securityScopedURL)) {
        diag::printLine(diag::Category::actions, "Unexpectedly failed to startAccessingSecurityScopedResource");
        auto result = failure(Fail::Case::unexpectedlyUnableToAccessBookmark, info);
        block(result);
        return result;
    }
    AccessStopper stopper(*info.securityScopedURL);
    Result<AccessInfo> result(info);
    block(result);
    return result;
}

std::optional<bookmark::Data> ScopedFileAccess::persistPermission(const FileUrl& url) {
    auto data = createScopedBookmark(url);
    if (data) effectiveDelegate()->setBookmark(data, url);
    return data;
}

void ScopedFileAccess::persistPermission(const std::vector<FileUrl>& urls) {
    for (const auto& url : urls) persistPermission(url);
}

ScopedFileAccess::BookmarkLookup ScopedFileAccess::resolveBookmark(const FileUrl& url) {
    FileUrl lookup = lookupUrl(url);
    auto delegate = effectiveDelegate();
    auto data = delegate->bookmarkData(lookup);
    if (!data) return {};
    bookmark::Resolution resolution{lookup, false};
    try {
        resolution = bookmark::resolve(*data, bookmark::resolutionWithoutUI | bookmark::resolutionWithSecurityScope);
    } catch (const bookmark::BookmarkError&) {
        // Unusable now, but kept: the item may come back (a disk mounted again).
        return {data, std::nullopt};
    }
    if (!resolution.isStale) return {data, resolution.url};
    delegate->clearBookmark(lookup);
    auto fresh = createScopedBookmark(resolution.url);
    if (!fresh) return {};
    delegate->setBookmark(fresh, resolution.url);
    return {fresh, resolution.url};
}

// MARK: the panel

FileUrl ScopedFileAccess::nearestExistingParent(const FileUrl& url) {
    std::string path = url.path();
    std::error_code ec;
    while (path.size() >= 2 && !fs::exists(fs::path(path), ec)) {
        path = FileUrl(path, false).deletingLastPathComponent().path();
    }
    return FileUrl::fromPath(path);
}

std::string ScopedFileAccess::panelMessage(const FileUrl& url) const {
    auto names = mainBundleNames();
    std::string name = names.displayName.value_or(names.name.value_or("This App"));
    return name + " needs to access '" + url.lastPathComponent() + "' to continue. Click Allow to continue.";
}

ScopedFileAccess::PanelRequest ScopedFileAccess::requestPermission(const FileUrl& url) {
    std::shared_ptr<ScopedFileAccessOpenSavePanelDelegate> delegate(new ScopedFileAccessOpenSavePanelDelegate());
    delegate->pathComponents_ = url.pathComponents();

    FileUrl parent = nearestExistingParent(url);
    std::error_code ec;
    bool isFolder = fs::is_directory(fs::path(parent.path()), ec);

    auto panel = makeAccessPanel({.title = title_,
                                  .message = message_ ? *message_ : panelMessage(url),
                                  .prompt = prompt_,
                                  .canChooseFiles = !isFolder,
                                  .directoryURL = parent,
                                  .delegate = delegate});
    return {std::move(panel), std::move(delegate)};
}

void ScopedFileAccess::runOpenPanel(const FileUrl& url, std::optional<WindowHandle> window, PanelCompletion completion) {
    PanelRequest request = requestPermission(url);
    openPanelProvider()->activateApplication();
    std::shared_ptr<OpenPanel> panel = std::move(request.panel);
    OpenPanel* shown = panel.get();
    // The handler keeps the panel and its delegate alive; the panel lets go of it once called.
    shown->beginSheet(window, [panel, delegate = std::move(request.delegate), completion = std::move(completion)](int response) {
        std::optional<FileUrl> chosen;
        if (response == modalResponse::ok) {
            auto urls = panel->urls();
            if (!urls.empty()) chosen = urls.front();
        }
        completion(chosen);
    });
}

void ScopedFileAccess::requestPermissionOnMainThread(const FileUrl& url, std::optional<WindowHandle> window,
                                                     PanelCompletion completion) {
    auto provider = openPanelProvider();
    if (provider->isMainThread()) {
        runOpenPanel(url, window, std::move(completion));
        return;
    }
    auto self = weak_from_this().lock();
    provider->runOnMainThread([this, self, url, window, completion = std::move(completion)]() mutable {
        runOpenPanel(url, window, std::move(completion));
    });
}

} // namespace tavlin::sandbox
