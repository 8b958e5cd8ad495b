#include "platform/dbus/FileManagerItems.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

namespace tavlin {

bool showItemsInFileManager(QDBusConnection& connection, const std::string& fileURI) {
    static const QString service = QStringLiteral("org.freedesktop.FileManager1");
    if (!connection.isConnected() || !connection.interface()) return false;
    if (!connection.interface()->isServiceRegistered(service).value()) return false;
    auto call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"), service,
                                               QStringLiteral("ShowItems"));
    call << QStringList{QString::fromStdString(fileURI)} << QString();
    // Not awaited: the file manager may take its time to come up.
    return connection.send(call);
}

} // namespace tavlin
