#include "platform/dbus/DBusDistributedNotificationCenter.h"

#include <vector>

#include <QtDBus/QDBusMessage>

#include "platform/Diagnostics.h"
#include "platform/dbus/DistributedNotificationReceiver.h"
#include "platform/dbus/DistributedNotificationWire.h"

namespace tavlin {
namespace {

QString qText(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The signature is given, so QtDBus hands the slot only (s, s) messages: others are ignored.
bool subscribe(QDBusConnection& connection, DistributedNotificationReceiver* receiver, const std::string& name,
               bool on) {
    const QString service; // any sender
    const QStringList argumentMatch{qText(name)};
    const QString path = QString::fromLatin1(distributedWire::objectPath);
    const QString interface = QString::fromLatin1(distributedWire::interfaceName);
    const QString member = QString::fromLatin1(distributedWire::memberName);
    const QString signature = QString::fromLatin1(distributedWire::signature);
    return on ? connection.connect(service, path, interface, member, argumentMatch, signature, receiver,
                                   SLOT(onPost(QString, QString)))
              : connection.disconnect(service, path, interface, member, argumentMatch, signature, receiver,
                                      SLOT(onPost(QString, QString)));
}

} // namespace

void DistributedNotificationReceiver::onPost(const QString& name, const QString& object) {
    QByteArray objectBytes = object.toUtf8();
    if (static_cast<std::size_t>(objectBytes.size()) > distributedWire::maximumObjectBytes) {
        diag::printLine("Dropped distributed notification " + name.toStdString() + ": its object has " +
                        std::to_string(objectBytes.size()) + " bytes, more than 1 MiB");
        return;
    }
    center_.deliver(Notification{name.toStdString(),
                                 distributedWire::objectFromWire(objectBytes.toStdString())});
}

DBusDistributedNotificationCenter::DBusDistributedNotificationCenter(QDBusConnection connection)
    : connection_(std::move(connection)), receiver_(std::make_unique<DistributedNotificationReceiver>(*this)) {
    if (!connection_.isConnected()) {
        diag::printLine("The session bus is not reachable: " + connection_.lastError().message().toStdString());
    }
}

DBusDistributedNotificationCenter::~DBusDistributedNotificationCenter() {
    for (const auto& [name, count] : subscriptions_) subscribe(connection_, receiver_.get(), name, false);
}

bool DBusDistributedNotificationCenter::isConnected() const { return connection_.isConnected(); }

namespace {
const QString connectionName = QStringLiteral("tavlin_distributed_notifications");
} // namespace

QDBusConnection DBusDistributedNotificationCenter::sessionBusConnection() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
}

// A connection once made is kept under its name, even after its bus has gone.
QDBusConnection DBusDistributedNotificationCenter::newSessionBusConnection() {
    QDBusConnection::disconnectFromBus(connectionName);
    return sessionBusConnection();
}

void DBusDistributedNotificationCenter::reconnect(QDBusConnection connection) {
    for (const auto& [name, count] : subscriptions_) subscribe(connection_, receiver_.get(), name, false);
    connection_ = std::move(connection);
    for (const auto& [name, count] : subscriptions_) {
        if (!subscribe(connection_, receiver_.get(), name, true))
            diag::printLine("Could not observe distributed notification " + name + " on the session bus");
    }
}

void DBusDistributedNotificationCenter::post(const Notification& notification) {
    const std::string object = distributedWire::wireObject(notification.object);
    if (object.size() > distributedWire::maximumObjectBytes) {
        diag::printLine("Did not post distributed notification " + notification.name + ": its object has " +
                        std::to_string(object.size()) + " bytes, more than 1 MiB");
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(distributedWire::objectPath),
                                                     QString::fromLatin1(distributedWire::interfaceName),
                                                     QString::fromLatin1(distributedWire::memberName));
    signal << qText(distributedWire::wireText(notification.name)) << qText(object);
    if (!connection_.send(signal)) {
        diag::printLine("Could not post distributed notification " + notification.name + " on the session bus");
    }
}

DBusDistributedNotificationCenter::Token DBusDistributedNotificationCenter::addObserver(const std::string& name,
                                                                                       Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, NamedObserver{name, std::move(observer)});
    if (subscriptions_[name]++ == 0 && !subscribe(connection_, receiver_.get(), name, true)) {
        diag::printLine("Could not observe distributed notification " + name + " on the session bus");
    }
    return token;
}

void DBusDistributedNotificationCenter::removeObserver(Token token) {
    const auto found = observers_.find(token);
    if (found == observers_.end()) return;
    const std::string name = found->second.name;
    observers_.erase(found);
    const auto subscription = subscriptions_.find(name);
    if (--subscription->second == 0) {
        subscriptions_.erase(subscription);
        subscribe(connection_, receiver_.get(), name, false);
    }
}

void DBusDistributedNotificationCenter::deliver(const Notification& notification) {
    deliverToObservers(observers_, notification);
}

} // namespace tavlin
