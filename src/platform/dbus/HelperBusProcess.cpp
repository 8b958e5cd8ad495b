#include "platform/dbus/HelperBusProcess.h"

#include <QtCore/QMetaObject>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>

#include "platform/desktop/HelperApplication.h"

namespace tavlin {

void askHelperProcessOnBus(const QDBusConnection& connection, QObject* context,
                           std::function<void(std::optional<std::int64_t>)> answer) {
    // Asked once a second at most; an answer later than this is of no use to anyone.
    constexpr int timeoutMilliseconds = 2000;
    if (!connection.isConnected()) {
        QMetaObject::invokeMethod(
            context, [answer = std::move(answer)] { answer(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("GetConnectionUnixProcessID"));
    call << QString::fromLatin1(helperBundleIdentifier.data(), static_cast<qsizetype>(helperBundleIdentifier.size()));
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, timeoutMilliseconds), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, answer = std::move(answer)] {
        watcher->deleteLater();
        const QDBusPendingReply<quint32> reply = *watcher;
        if (reply.isError()) return answer(std::nullopt);
        answer(static_cast<std::int64_t>(reply.value()));
    });
}

} // namespace tavlin
