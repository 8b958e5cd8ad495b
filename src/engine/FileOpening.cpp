#include <memory>

#include "engine/ActionRunner.h"
#include "engine/Notifications.h"
#include "engine/Opening.h"
#include "platform/base/Diagnostics.h"
#include "platform/compat/SecurityScope.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/Workspace.h"
#include "sandbox/ScopedFileAccess.h"

namespace tavlin {
namespace {

using sandbox::AccessInfo;
using sandbox::Permissions;
using sandbox::ScopedFileAccess;

// Made once and kept: the access panels of every file and folder action go through it.
const std::shared_ptr<ScopedFileAccess>& sharedFileAccess() {
    static const auto access = std::make_shared<ScopedFileAccess>();
    return access;
}

// Asks for access the way every file action does, and hands a granted security-scoped URL on.
void requestAccess(const FileUrl& url, std::function<void(const FileUrl& granted)> then) {
    sharedFileAccess()->access(url, Permissions::bookmark, true, noParentWindow, true,
                               [then = std::move(then)](const Result<AccessInfo>& result) {
                                   if (!result.hasValue()) {
                                       diag::printLine(diag::Category::actions, result.errorDescription());
                                       return;
                                   }
                                   if (!result.value().securityScopedURL) {
                                       diag::printLine(diag::Category::actions, "");
                                       return;
                                   }
                                   then(*result.value().securityScopedURL);
                               });
}

void openWithApplication(const FileUrl& item, const FileUrl& application) {
    if (!securityScope::startAccessing(item)) {
        diag::printLine(diag::Category::actions, "no sandbox permission");
        return;
    }
    if (!securityScope::startAccessing(application)) {
        securityScope::stopAccessing(item);
        diag::printLine(diag::Category::actions, "no sandbox permission");
        return;
    }
    Workspace::shared().openURLs({item.absoluteString()}, application.path(),
                                 [item, application](std::optional<std::string> error) {
                                     securityScope::stopAccessing(item);
                                     securityScope::stopAccessing(application);
                                     if (error) postUserNotification("Failed to open url with application", *error);
                                 });
}

} // namespace

void openFileOrFolder(const std::string& path, const std::optional<std::string>& applicationPath, bool isFolder) {
    const FileUrl url(expandingTildeInPath(path), isFolder);
    if (isHelperRunning()) {
        postToHelper(HelperAction::openURL{url.absoluteString(), applicationPath});
        return;
    }
    requestAccess(url, [applicationPath](const FileUrl& granted) {
        if (!applicationPath) {
            // The granted item is the one asked for, even when a parent folder's grant covers it.
            Workspace::shared().openURL(granted.absoluteString(), nullptr);
            return;
        }
        const FileUrl application(*applicationPath, false);
        requestAccess(application,
                      [granted](const FileUrl& grantedApplication) { openWithApplication(granted, grantedApplication); });
    });
}

} // namespace tavlin
