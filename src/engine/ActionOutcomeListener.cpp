#include "engine/ActionOutcomeListener.h"

#include <utility>

#include "engine/Notifications.h"
#include "platform/base/Diagnostics.h"

namespace tavlin {

ActionOutcomeListener& ActionOutcomeListener::shared() {
    static ActionOutcomeListener listener;
    return listener;
}

void ActionOutcomeListener::waitForOutcome(Continuation continuation) {
    if (isWaiting()) removeObservers();
    const std::string name(notificationNames::actionOutcomeEvent);
    continuation_ = std::move(continuation);
    distributedObserver_ = DistributedNotificationCenter::shared().addObserver(
        name, [this](const Notification& notification) { receive(notification); });
    localObserver_ = NotificationCenter::local().addObserver(name,
                                                             [this](const Notification& notification) { receive(notification); });
}

void ActionOutcomeListener::receive(const Notification& notification) {
    const auto outcome = actionOutcome(notification);
    if (!outcome) {
        diag::printLimited(diag::Category::session, "undecodable outcome", "");
        return;
    }
    if (pendingOwnOutcomes_ > 0 && outcome->get<ActionOutcome::key>()) {
        heldKeys_.push_back(*outcome);
        return;
    }
    deliver(*outcome);
}

void ActionOutcomeListener::deliver(const ActionOutcome& outcome) {
    // The continuation may arm the next wait; this one must be gone by then.
    const Continuation call = std::move(continuation_);
    removeObservers();
    if (call) call(outcome);
}

std::uint64_t ActionOutcomeListener::expectOwnOutcome() {
    ++pendingOwnOutcomes_;
    return session_;
}

void ActionOutcomeListener::ownOutcomeHandled(std::uint64_t session) {
    if (hasEnded(session) || pendingOwnOutcomes_ == 0) return;
    if (--pendingOwnOutcomes_ == 0) releaseHeldKeys();
}

// Each key may lead to a decision that again reports texts first; the rest wait for those.
void ActionOutcomeListener::releaseHeldKeys() {
    while (pendingOwnOutcomes_ == 0 && !heldKeys_.empty()) {
        if (!isWaiting()) {
            heldKeys_.clear(); // the session took no further key
            return;
        }
        const ActionOutcome key = heldKeys_.front();
        heldKeys_.pop_front();
        deliver(key);
    }
}

std::deque<ActionOutcome> ActionOutcomeListener::takeHeldKeys() { return std::exchange(heldKeys_, {}); }

void ActionOutcomeListener::holdForNextSession(std::deque<ActionOutcome> keys) {
    if (keys.empty()) return;
    heldKeys_.insert(heldKeys_.begin(), keys.begin(), keys.end());
    if (pendingOwnOutcomes_ == 0) releaseHeldKeys();
}

void ActionOutcomeListener::cancel() {
    removeObservers();
    heldKeys_.clear();
    pendingOwnOutcomes_ = 0;
    ++session_;
}

void ActionOutcomeListener::removeObservers() {
    if (distributedObserver_) DistributedNotificationCenter::shared().removeObserver(*distributedObserver_);
    if (localObserver_) NotificationCenter::local().removeObserver(*localObserver_);
    distributedObserver_.reset();
    localObserver_.reset();
    continuation_ = nullptr;
}

} // namespace tavlin
