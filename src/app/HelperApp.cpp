#include "app/HelperApp.h"

#include "engine/ActionRunner.h"
#include "platform/HelperApplication.h"
#include "platform/UserNotifications.h"
#include "platform/Workspace.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/MimeApps.h"

namespace tavlin::HelperApp {

namespace {

std::optional<std::string> registeredApplication(const std::string& scheme) {
    const auto catalog = xdg::DesktopEntryCatalog::scan();
    const auto id = xdg::defaultDesktopEntryIdForScheme(scheme, catalog);
    if (!id) return std::nullopt;
    const auto* entry = catalog.find(*id);
    if (!entry) return std::nullopt;
    return entry->path.string();
}

DefaultApplicationLookup& lookup() {
    static DefaultApplicationLookup lookup = registeredApplication;
    return lookup;
}

} // namespace

void setDefaultApplicationLookup(DefaultApplicationLookup replacement) {
    lookup() = replacement ? std::move(replacement) : DefaultApplicationLookup(registeredApplication);
}

void open() {
    if (!Workspace::shared().runningApplications(std::string(helperBundleIdentifier)).empty()) return;
    const auto application = lookup()("tavlinhelper");
    if (!application) return;
    Workspace::shared().openApplication(*application, [](std::optional<std::string> error) {
        if (!error) return;
        UserNotificationCenter::current().requestAuthorization([error](bool) {
            postUserNotification("Failed to open tavlin helper", *error);
        });
    });
}

} // namespace tavlin::HelperApp
