#include "app/HelperApp.h"

#include "engine/ActionRunner.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/UserNotifications.h"
#include "platform/desktop/Workspace.h"
#include "platform/linux/ApplicationCatalog.h"

namespace tavlin::HelperApp {

namespace {

std::optional<std::string> registeredApplication(const std::string& scheme) {
    return xdg::ApplicationCatalog::shared().defaultApplicationPathForScheme(scheme);
}

DefaultApplicationLookup& lookup() {
    static DefaultApplicationLookup lookup = registeredApplication;
    return lookup;
}

bool& lookupReplaced() {
    static bool replaced = false;
    return replaced;
}

} // namespace

void setDefaultApplicationLookup(DefaultApplicationLookup replacement) {
    lookupReplaced() = static_cast<bool>(replacement);
    lookup() = replacement ? std::move(replacement) : DefaultApplicationLookup(registeredApplication);
}

std::optional<std::string> registeredApplicationFor(const std::string& scheme) { return lookup()(scheme); }

void whenRegistered(const std::string& scheme, std::function<void(std::optional<std::string>)> answer) {
    if (lookupReplaced()) {
        answer(lookup()(scheme));
        return;
    }
    auto& catalog = xdg::ApplicationCatalog::shared();
    catalog.defaultApplicationPathForScheme(scheme); // read from now on
    catalog.whenCurrent([scheme, answer = std::move(answer)] { answer(lookup()(scheme)); });
}

bool isRunning() {
    // The helper owns its bus name while it runs, with or without windows; a window of its
    // application counts too (one that has not reached the bus yet, or has left it).
    return isHelperRunning() || !Workspace::shared().runningApplications(std::string(helperBundleIdentifier)).empty();
}

void open() {
    // Cheapest first: the bus, then what is registered (kept in memory); the windows of the
    // desktop only when there is a helper to start. Sessions that start while the associations
    // are being read wait for them together: one start at most.
    static bool waiting = false;
    if (isHelperRunning() || waiting) return;
    waiting = true;
    whenRegistered("tavlinhelper", [](std::optional<std::string> application) {
        waiting = false;
        if (!application || isRunning()) return;
        Workspace::shared().openApplication(*application, [](const std::optional<std::string>& error) {
            if (!error) return;
            UserNotificationCenter::current().requestAuthorization(
                [error](bool) { postUserNotification("Failed to open tavlin helper", *error); });
        });
    });
}

} // namespace tavlin::HelperApp
