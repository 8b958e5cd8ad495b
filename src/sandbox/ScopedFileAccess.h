#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Result.h"
#include "platform/compat/Bookmark.h"
#include "platform/desktop/OpenPanel.h"
#include "platform/files/FileUrl.h"
#include "sandbox/Permissions.h"
#include "sandbox/ScopedFileAccessOpenSavePanelDelegate.h"

namespace tavlin::sandbox {

// Where granted bookmarks are kept.
class ScopedFileAccessProtocol {
public:
    virtual ~ScopedFileAccessProtocol() = default;
    // The bookmark for the URL or the nearest parent folder that has one.
    virtual std::optional<bookmark::Data> bookmarkData(const FileUrl& url) = 0;
    // Stores the data under the URL; no data removes the entry.
    virtual void setBookmark(const std::optional<bookmark::Data>& data, const FileUrl& url) = 0;
    // Removes the URL's own entry (not its parents').
    virtual void clearBookmark(const FileUrl& url) = 0;
};

// The default store: the standard user defaults, one key per URL, "bd_" + the URL's absolute
// string (a folder's URL ends in "/").
class ScopedFileAccessPersist : public ScopedFileAccessProtocol {
public:
    static std::string key(const FileUrl& url);

    std::optional<bookmark::Data> bookmarkData(const FileUrl& url) override;
    void setBookmark(const std::optional<bookmark::Data>& data, const FileUrl& url) override;
    void clearBookmark(const FileUrl& url) override;
    // Removes every stored "bd_" key.
    static void clearAllBookmarks();
};

// Declared by the module for callers that distinguish access modes; nothing uses them yet.
enum class PowerboxAccessMode { readOnly, readWrite };
class Powerbox {};

// How actions reach user-chosen paths: works out what access the process has to a URL, asks
// the user with the access panel when it has too little, stores the grant as a bookmark, and
// runs the caller's completion while the granted access is started.
//
// Linux has no sandbox: the flow is kept so that stored grants behave the same, but it guards
// nothing here.
//
// Own a ScopedFileAccess through a shared_ptr when a panel may outlive the caller's reference:
// a request with a panel then keeps the object alive until the panel ends.
class ScopedFileAccess : public std::enable_shared_from_this<ScopedFileAccess> {
public:
    class Fail : public std::exception {
    public:
        enum class Case { needToAskPermission, noWindowProvided, userDidntGrantPermission, unexpectedlyUnableToAccessBookmark };
        Fail(Case failCase, AccessInfo info);
        Case failCase() const { return case_; }
        const AccessInfo& info() const { return info_; }
        // The generic text, naming the case's code.
        const char* what() const noexcept override { return description_.c_str(); }

    private:
        Case case_;
        AccessInfo info_;
        std::string description_;
    };

    using Completion = std::function<void(const Result<AccessInfo>& result)>;
    using PanelCompletion = std::function<void(const std::optional<FileUrl>& chosen)>;

    struct BookmarkLookup {
        std::optional<bookmark::Data> data;
        std::optional<FileUrl> url;
    };

    struct PanelRequest {
        std::unique_ptr<OpenPanel> panel;
        // The panel holds it weakly: keep it until the panel ends.
        std::shared_ptr<ScopedFileAccessOpenSavePanelDelegate> delegate;
    };

    ScopedFileAccess();
    virtual ~ScopedFileAccess() = default;

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // Absent: the panel builds its message from the URL.
    const std::optional<std::string>& message() const { return message_; }
    void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
    const std::string& prompt() const { return prompt_; }
    void setPrompt(std::string prompt) { prompt_ = std::move(prompt); }
    // Takes over from the default store while it is set and alive.
    std::weak_ptr<ScopedFileAccessProtocol> bookmarkPersistanceDelegate() const { return bookmarkPersistanceDelegate_; }
    void setBookmarkPersistanceDelegate(std::weak_ptr<ScopedFileAccessProtocol> delegate) {
        bookmarkPersistanceDelegate_ = std::move(delegate);
    }
    const std::shared_ptr<ScopedFileAccessProtocol>& defaultDelegate() const { return defaultDelegate_; }

    // What access the process has to the URL now. Never fails, never shows anything.
    virtual AccessInfo canAccess(const FileUrl& url);
    virtual bool canAccess(const FileUrl& url, Permissions permissions);

    // The main entry. When the requirement is not met and asking is allowed, shows the access
    // panel on the window and, when `persist` holds, stores the granted bookmark. The completion
    // runs exactly once, inside the started access on success.
    virtual void access(const FileUrl& url, Permissions permissions, bool askIfNecessary, std::optional<WindowHandle> window,
                        bool persist, Completion completion);
    // The same request without any panel; also answers the result.
    virtual Result<AccessInfo> access(const FileUrl& url, Permissions permissions, const Completion& completion);
    // Starts the record's security-scoped access, runs the block, stops the access.
    virtual Result<AccessInfo> accessAndRun(const AccessInfo& info, const Completion& block);

    virtual std::optional<bookmark::Data> persistPermission(const FileUrl& url);
    virtual void persistPermission(const std::vector<FileUrl>& urls);
    // The bookmark stored for the URL or a parent folder, and the URL it resolves to.
    virtual BookmarkLookup resolveBookmark(const FileUrl& url);

    // The panel.
    virtual FileUrl nearestExistingParent(const FileUrl& url);
    std::string panelMessage(const FileUrl& url) const;
    virtual PanelRequest requestPermission(const FileUrl& url);
    // Must run on the main thread.
    virtual void runOpenPanel(const FileUrl& url, std::optional<WindowHandle> window, PanelCompletion completion);
    virtual void requestPermissionOnMainThread(const FileUrl& url, std::optional<WindowHandle> window,
                                               PanelCompletion completion);

protected:
    std::shared_ptr<ScopedFileAccessProtocol> effectiveDelegate() const;

private:
    std::string title_;
    std::optional<std::string> message_;
    std::string prompt_;
    std::weak_ptr<ScopedFileAccessProtocol> bookmarkPersistanceDelegate_;
    std::shared_ptr<ScopedFileAccessProtocol> defaultDelegate_;
};

} // namespace tavlin::sandbox
