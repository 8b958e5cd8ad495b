#include <cassert>

#include <filesystem>

#include "platform/desktop/UserNotifications.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileUrl.h"

// The process-wide desktop services, installed by the application at start-up (or by tests).
namespace tavlin {
namespace {

Workspace*& sharedWorkspace() {
    static Workspace* workspace = nullptr;
    return workspace;
}

UserNotificationCenter*& currentCenter() {
    static UserNotificationCenter* center = nullptr;
    return center;
}

} // namespace

Workspace& Workspace::shared() {
    assert(sharedWorkspace() && "the workspace is installed at start-up");
    return *sharedWorkspace();
}

void Workspace::setShared(Workspace* workspace) { sharedWorkspace() = workspace; }

void Workspace::activateFileViewerSelecting(const std::string& path) {
    const auto folder = std::filesystem::path(path).parent_path();
    openURL(FileUrl(folder.empty() ? std::string("/") : folder.string(), true).absoluteString(), nullptr);
}

UserNotificationCenter& UserNotificationCenter::current() {
    assert(currentCenter() && "the notification centre is installed at start-up");
    return *currentCenter();
}

bool UserNotificationCenter::hasCurrent() { return currentCenter() != nullptr; }

void UserNotificationCenter::setCurrent(UserNotificationCenter* center) { currentCenter() = center; }

} // namespace tavlin
