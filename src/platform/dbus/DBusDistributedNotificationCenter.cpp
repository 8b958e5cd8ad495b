#include "platform/dbus/DBusDistributedNotificationCenter.h"

#include <QtDBus/QDBusMessage>

#include "platform/base/Diagnostics.h"
#include "platform/dbus/DistributedNotificationReceiver.h"
#include "platform/dbus/DistributedNotificationWire.h"
#include "platform/qt/QtText.h"

namespace tavlin {
namespace {

// The signature is given, so QtDBus hands the slot only (s, s) messages: others are ignored.
bool subscribe(QDBusConnection& connection, DistributedNotificationReceiver* receiver, const std::string& name, bool on) {
    const QString service; // any sender
    const QStringList argumentMatch{qt::qString(name)};
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

DBusDistributedNotificationCenter::DBusDistributedNotificationCenter(QDBusConnection connection, NotificationInbox::Limits limits)
    : connection_(std::move(connection)), inbox_(limits),
      receiver_(std::make_unique<DistributedNotificationReceiver>(
          [this](const QString& name, const QString& object) { receive(name, object); })) {
    if (!connection_.isConnected()) {
        diag::printLine(diag::Category::bus,
                        "The session bus is not reachable: " + connection_.lastError().message().toStdString());
    }
    readerThread_.setObjectName(QStringLiteral("tavlin bus reader"));
    receiver_->moveToThread(&readerThread_);
    readerThread_.start();
}

DBusDistributedNotificationCenter::~DBusDistributedNotificationCenter() {
    for (const auto& name : subscriptions_) subscribe(connection_, receiver_.get(), name, false);
    readerThread_.quit();
    readerThread_.wait();
}

bool DBusDistributedNotificationCenter::isConnected() const { return connection_.isConnected(); }

namespace {
const QString connectionName = QStringLiteral("tavlin_distributed_notifications");

// A restarted bus has a new guid: an address that names the old one would be refused for good.
// Each of the address's entries ("transport:key=value,…", separated by ";") loses its guid.
QString withoutGuid(const QString& address) {
    QStringList entries = address.split(QLatin1Char(';'));
    for (QString& entry : entries) {
        const auto colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        QStringList keys = entry.mid(colon + 1).split(QLatin1Char(','));
        keys.removeIf([](const QString& key) { return key.startsWith(QLatin1String("guid=")); });
        entry = entry.left(colon + 1) + keys.join(QLatin1Char(','));
    }
    return entries.join(QLatin1Char(';'));
}
} // namespace

QDBusConnection DBusDistributedNotificationCenter::sessionBusConnection() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName);
}

// A connection once made is kept under its name, even after its bus has gone.
QDBusConnection DBusDistributedNotificationCenter::newSessionBusConnection() {
    QDBusConnection::disconnectFromBus(connectionName);
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) return sessionBusConnection();
    return QDBusConnection::connectToBus(withoutGuid(address), connectionName);
}

void DBusDistributedNotificationCenter::reconnect(QDBusConnection connection) {
    for (const auto& name : subscriptions_) subscribe(connection_, receiver_.get(), name, false);
    connection_ = std::move(connection);
    for (const auto& name : subscriptions_) {
        if (!subscribe(connection_, receiver_.get(), name, true))
            diag::printLine(diag::Category::bus, "Could not observe distributed notification " + name + " on the session bus");
    }
}

void DBusDistributedNotificationCenter::post(const Notification& notification) {
    const std::string object = distributedWire::wireObject(notification.object);
    if (object.size() > distributedWire::maximumObjectBytes) {
        diag::printLine(diag::Category::bus, "Did not post distributed notification " + notification.name + ": its object has " +
                                                 std::to_string(object.size()) + " bytes, more than 1 MiB");
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(distributedWire::objectPath),
                                                     QString::fromLatin1(distributedWire::interfaceName),
                                                     QString::fromLatin1(distributedWire::memberName));
    signal << qt::qString(distributedWire::wireText(notification.name)) << qt::qString(object);
    if (!connection_.send(signal)) {
        diag::printLine(diag::Category::bus,
                        "Could not post distributed notification " + notification.name + " on the session bus");
    }
}

DBusDistributedNotificationCenter::Token DBusDistributedNotificationCenter::addObserver(const std::string& name,
                                                                                        Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, NamedObserver{name, std::move(observer)});
    if (subscriptions_.insert(name).second && !subscribe(connection_, receiver_.get(), name, true)) {
        diag::printLine(diag::Category::bus, "Could not observe distributed notification " + name + " on the session bus");
    }
    return token;
}

void DBusDistributedNotificationCenter::subscribeInAdvance(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        if (subscriptions_.insert(name).second && !subscribe(connection_, receiver_.get(), name, true))
            diag::printLine(diag::Category::bus, "Could not observe distributed notification " + name + " on the session bus");
    }
    // The bus handles one connection's messages in order: once it answers this, it has them.
    constexpr int timeoutMilliseconds = 2000;
    connection_.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                    QStringLiteral("/org/freedesktop/DBus"),
                                                    QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
                     QDBus::Block, timeoutMilliseconds);
}

// The subscription stays: dropping it and subscribing again at the next wait would lose what
// arrives in between.
void DBusDistributedNotificationCenter::removeObserver(Token token) { observers_.erase(token); }

void DBusDistributedNotificationCenter::receive(const QString& name, const QString& object) {
    QByteArray objectBytes = object.toUtf8();
    if (static_cast<std::size_t>(objectBytes.size()) > distributedWire::maximumObjectBytes) {
        diag::printLimited(diag::Category::bus, "dropped large notification",
                           "Dropped distributed notification " + name.toStdString() + ": its object has " +
                               std::to_string(objectBytes.size()) + " bytes, more than 1 MiB");
        return;
    }
    Notification notification{name.toStdString(), distributedWire::objectFromWire(objectBytes.toStdString()), {}};
    const bool wasEmpty = inbox_.push(std::move(notification));
    ++received_;
    if (wasEmpty) scheduleDelivery();
}

void DBusDistributedNotificationCenter::scheduleDelivery() {
    QMetaObject::invokeMethod(
        &context_, [this] { deliverNext(); }, Qt::QueuedConnection);
}

void DBusDistributedNotificationCenter::deliverNext() {
    auto received = inbox_.pop();
    if (!received) return;
    const bool more = !inbox_.empty();
    if (!more) {
        // The end of a burst: one line for all it lost.
        if (const std::size_t dropped = inbox_.takeDropped()) {
            diag::printLimited(diag::Category::bus, "dropped notifications",
                               "Dropped " + std::to_string(dropped) +
                                   " distributed notifications: they came faster than they "
                                   "could be handled");
        }
    }
    // On the system clock, which the application's main queue reads too.
    const double age = std::chrono::duration<double>(NotificationInbox::Clock::now() - received->receivedAt).count();
    received->notification.receivedAt =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() - age;
    deliverToObservers(observers_, received->notification);
    // The next one in a later turn, behind what this one queued on the main queue, as when each
    // message was an event of its own.
    if (more) scheduleDelivery();
}

} // namespace tavlin
