#include "platform/dbus/HelperBusProbe.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include "platform/HelperApplication.h"

namespace tavlin {

bool helperRunningOnSessionBus() {
    // Asked each time the input window opens: a stuck bus must not hold the window up long.
    constexpr int timeoutMilliseconds = 500;
    QDBusConnection connection =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("tavlin_helper_probe"));
    if (!connection.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QString::fromLatin1(helperBundleIdentifier.data(), static_cast<qsizetype>(helperBundleIdentifier.size()));
    const QDBusMessage reply = connection.call(call, QDBus::Block, timeoutMilliseconds);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace tavlin
