#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QtCore/QObject>
#include <QtCore/QThread>
#include <QtDBus/QDBusConnection>

#include "platform/desktop/NotificationCenter.h"
#include "platform/desktop/NotificationInbox.h"

namespace tavlin {

class DistributedNotificationReceiver;

// The session's distributed notification centre for the running application, on the Qt event
// loop (see DistributedNotificationWire.h for the form on the bus).
//
// Each observed name is one match rule with arg0, so the bus delivers nothing else to us. A
// name stays subscribed from its first observer to the end of the process: observers come and
// go in-process, and no message that reaches the socket meanwhile is lost on the way. Messages
// are read on a thread of their own into a bounded inbox (the oldest go beyond its limits, with
// one line per burst) and handed to the observers on the thread that made the centre, one per
// turn of its event loop, in the order they came; posts reach this process's own observers too,
// as they reach everyone's.
class DBusDistributedNotificationCenter : public DistributedNotificationCenter {
public:
    explicit DBusDistributedNotificationCenter(QDBusConnection connection = sessionBusConnection(),
                                               NotificationInbox::Limits limits = {});
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
    // Subscribes to these names now, before anyone observes them, and waits until the bus has
    // the subscriptions: what is posted after this returns reaches us.
    void subscribeInAdvance(const std::vector<std::string>& names);
    // How many messages the reader has taken off the bus so far (for tests).
    std::size_t receivedCount() const { return received_.load(); }

    // The centre's own connection to the session bus. Not QDBusConnection::sessionBus(): made
    // on the main thread, that one holds back incoming messages until the event loop runs and
    // then may deliver a later one before those held back.
    static QDBusConnection sessionBusConnection();
    // A new connection of that name, for when the bus of the old one has gone.
    static QDBusConnection newSessionBusConnection();

private:
    // On the reader thread.
    void receive(const QString& name, const QString& object);
    // On the centre's thread: hands on the oldest message and asks for another turn if more wait.
    void deliverNext();
    void scheduleDelivery();

    QDBusConnection connection_;
    NotificationInbox inbox_;
    std::atomic<std::size_t> received_{0};
    QThread readerThread_;
    std::unique_ptr<DistributedNotificationReceiver> receiver_;
    // Lives on the centre's thread: queued calls to it run there.
    QObject context_;
    NamedObservers observers_;
    std::set<std::string> subscriptions_;
    Token nextToken_ = 1;
};

} // namespace tavlin
