#pragma once

#include <map>
#include <memory>
#include <string>

#include <QtDBus/QDBusConnection>

#include "platform/NotificationCenter.h"

namespace tavlin {

class DistributedNotificationReceiver;

// The session's distributed notification centre for the running application, on the Qt event
// loop (see DistributedNotificationWire.h for the form on the bus). Each observed name is one
// match rule with arg0, so the bus delivers nothing else to us. Observers run on the thread
// that made the centre, in a turn of its event loop; posts reach this process's own observers
// too, as they reach everyone's.
class DBusDistributedNotificationCenter : public DistributedNotificationCenter {
public:
    explicit DBusDistributedNotificationCenter(QDBusConnection connection = sessionBusConnection());
    ~DBusDistributedNotificationCenter() override;
    DBusDistributedNotificationCenter(const DBusDistributedNotificationCenter&) = delete;
    DBusDistributedNotificationCenter& operator=(const DBusDistributedNotificationCenter&) = delete;

    void post(const Notification& notification) override;
    Token addObserver(const std::string& name, Observer observer) override;
    void removeObserver(Token token) override;

    bool isConnected() const;
    // Moves to another connection (the bus came back after it went away): every observed name
    // is subscribed there again.
    void reconnect(QDBusConnection connection);

    // The centre's own connection to the session bus. Not QDBusConnection::sessionBus(): made
    // on the main thread, that one holds back incoming messages until the event loop runs and
    // then may deliver a later one before those held back.
    static QDBusConnection sessionBusConnection();
    // A new connection of that name, for when the bus of the old one has gone.
    static QDBusConnection newSessionBusConnection();

private:
    friend class DistributedNotificationReceiver;
    void deliver(const Notification& notification);

    QDBusConnection connection_;
    std::unique_ptr<DistributedNotificationReceiver> receiver_;
    NamedObservers observers_;
    // How many observers each name has: its bus subscription lives while that is not zero.
    std::map<std::string, std::size_t> subscriptions_;
    Token nextToken_ = 1;
};

} // namespace tavlin
