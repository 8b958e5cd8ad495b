#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

namespace tavlin {

class DBusDistributedNotificationCenter;

// The QObject whose slot QtDBus calls for each Post signal that matches a subscription.
class DistributedNotificationReceiver : public QObject {
    Q_OBJECT
public:
    explicit DistributedNotificationReceiver(DBusDistributedNotificationCenter& center) : center_(center) {}

public Q_SLOTS:
    void onPost(const QString& name, const QString& object);

private:
    DBusDistributedNotificationCenter& center_;
};

} // namespace tavlin
