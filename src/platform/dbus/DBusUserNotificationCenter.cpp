#include "platform/dbus/DBusUserNotificationCenter.h"
#include "platform/qt/QtText.h"

#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>

namespace tavlin {
namespace {} // namespace

DBusUserNotificationCenter::DBusUserNotificationCenter(QDBusConnection connection) : connection_(std::move(connection)) {}

QDBusConnection DBusUserNotificationCenter::sessionBusConnection() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("tavlin_user_notifications"));
}

void DBusUserNotificationCenter::requestAuthorization(std::function<void(bool granted)> completion) {
    if (completion) completion(true);
}

void DBusUserNotificationCenter::add(const Request& request) { addOrReport(request, nullptr); }

void DBusUserNotificationCenter::addOrReport(const Request& request, std::function<void()> undelivered) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    if (request.defaultSound) hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    call << QStringLiteral("tavlin") << quint32(0) << QString() << qt::qString(request.title)
         << (request.subtitle ? qt::qString(*request.subtitle) : QString()) << QStringList() << hints << qint32(-1);
    if (!connection_.isConnected() && !connection_.name().isEmpty()) {
        // The bus went away and may be back: a connection once made is kept under its name.
        const QString name = connection_.name();
        QDBusConnection::disconnectFromBus(name);
        connection_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }
    if (!undelivered) {
        // The server's own id for the banner is of no use to us, so the reply is dropped.
        connection_.send(call);
        return;
    }
    // Only the error matters; the answer is awaited on the event loop, never here.
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, undelivered = std::move(undelivered)] {
        if (watcher->isError()) undelivered();
        watcher->deleteLater();
    });
}

} // namespace tavlin
