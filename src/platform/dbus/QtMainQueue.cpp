#include "platform/dbus/QtMainQueue.h"

#include <chrono>
#include <climits>
#include <cmath>

#include <QtCore/QObject>
#include <QtCore/QTimer>

namespace tavlin {

QtMainQueue::QtMainQueue() : context_(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task) { postAfter(0, std::move(task)); }

MainQueue::TimerID QtMainQueue::postAfter(double seconds, Task task) {
    const TimerID id = nextID_++;
    Pending& pending = pending_[id];
    pending.task = std::move(task);
    // Not positive (or not a number): the next turn, behind what is already queued. A zero
    // timer would not keep that order.
    if (!(seconds > 0)) {
        QMetaObject::invokeMethod(
            context_.get(), [this, id] { run(id); }, Qt::QueuedConnection);
        return id;
    }
    // Rounded up, so a task never runs before its time; QTimer counts in int milliseconds.
    const double milliseconds = std::ceil(seconds * 1000.0);
    const int interval = milliseconds >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(milliseconds);
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, context_.get(), [this, id] { run(id); });
    pending.timer = timer;
    timer->start(interval);
    return id;
}

void QtMainQueue::cancel(TimerID id) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) return;
    if (QTimer* timer = found->second.timer) {
        timer->stop();
        timer->deleteLater();
    }
    pending_.erase(found);
}

void QtMainQueue::run(TimerID id) {
    const auto found = pending_.find(id);
    if (found == pending_.end()) return; // cancelled
    Task task = std::move(found->second.task);
    if (QTimer* timer = found->second.timer) timer->deleteLater();
    pending_.erase(found);
    task();
}

double QtMainQueue::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace tavlin
