#include "engine/ActionOutcomeListener.h"

#include "engine/Notifications.h"
#include "platform/Diagnostics.h"

namespace tavlin {

ActionOutcomeListener& ActionOutcomeListener::shared() {
    static ActionOutcomeListener listener;
    return listener;
}

void ActionOutcomeListener::waitForOutcome(Continuation continuation) {
    if (isWaiting()) removeObservers();
    const std::string name(notificationNames::actionOutcomeEvent);
    distributedObserver_ = DistributedNotificationCenter::shared().addObserver(
        name, [this, continuation](const Notification& notification) { receive(notification, continuation); });
    localObserver_ = NotificationCenter::local().addObserver(
        name, [this, continuation](const Notification& notification) { receive(notification, continuation); });
}

void ActionOutcomeListener::receive(const Notification& notification, const Continuation& continuation) {
    const auto outcome = actionOutcome(notification);
    if (!outcome) {
        diag::printLimited("undecodable outcome", "");
        return;
    }
    // The continuation may arm the next wait; this one must be gone by then. Keep a copy:
    // removing the observers destroys the closure that holds `continuation`.
    const Continuation call = continuation;
    removeObservers();
    call(*outcome);
}

void ActionOutcomeListener::cancel() { removeObservers(); }

void ActionOutcomeListener::removeObservers() {
    if (distributedObserver_) DistributedNotificationCenter::shared().removeObserver(*distributedObserver_);
    if (localObserver_) NotificationCenter::local().removeObserver(*localObserver_);
    distributedObserver_.reset();
    localObserver_.reset();
}

} // namespace tavlin
