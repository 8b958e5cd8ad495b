#include "platform/dbus/HelperBusProbe.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include "platform/desktop/HelperApplication.h"

namespace tavlin {

bool helperRunningOnSessionBus() {
    // Asked each time the input window opens: a stuck bus must not hold the window up long.
    constexpr int timeoutMilliseconds = 500;
    const QString name = QStringLiteral("tavlin_helper_probe");
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!connection.isConnected()) {
        // A connection is kept under its name after its bus has gone; the bus may be back.
        QDBusConnection::disconnectFromBus(name);
        connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }
    if (!connection.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QString::fromLatin1(helperBundleIdentifier.data(), static_cast<qsizetype>(helperBundleIdentifier.size()));
    const QDBusMessage reply = connection.call(call, QDBus::Block, timeoutMilliseconds);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

} // namespace tavlin
