#pragma once

#include <QtDBus/QDBusConnection>

#include "platform/desktop/UserNotifications.h"

namespace tavlin {

// Banners through the desktop's notification server (org.freedesktop.Notifications). Each
// request is a new notification (replaces_id 0), so equal titles never replace each other.
// Nothing waits for the server: a missing or refusing server goes unnoticed, unless the caller
// asks to hear of it.
class DBusUserNotificationCenter : public UserNotificationCenter {
public:
    explicit DBusUserNotificationCenter(QDBusConnection connection = sessionBusConnection());

    // Desktop notifications need no permission: answers true at once, before returning.
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    void add(const Request& request) override;
    // `undelivered` runs once the server answers with an error, or no server answers at all.
    void addOrReport(const Request& request, std::function<void()> undelivered) override;

    // A connection of its own, so that no other user of the session bus shares its queue.
    static QDBusConnection sessionBusConnection();

private:
    QDBusConnection connection_;
};

} // namespace tavlin
