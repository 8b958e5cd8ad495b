#pragma once

#include <functional>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace tavlin {

// The QObject whose slot QtDBus calls for each Post signal that matches a subscription. It
// lives on a thread of its own, so messages leave QtDBus's queues as fast as they arrive.
class DistributedNotificationReceiver : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const QString& name, const QString& object)>;
    explicit DistributedNotificationReceiver(Handler handler) : handler_(std::move(handler)) {}

public Q_SLOTS:
    void onPost(const QString& name, const QString& object) { handler_(name, object); }

private:
    Handler handler_;
};

} // namespace tavlin
