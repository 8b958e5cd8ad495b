#pragma once

#include <functional>
#include <optional>

#include "model/ActionOutcome.h"
#include "platform/NotificationCenter.h"

namespace tavlin {

// The one-shot wait of a key sequence for its next outcome, from this process (local centre) or
// from others (distributed centre). The first outcome that decodes is taken.
class ActionOutcomeListener {
public:
    using Continuation = std::function<void(const ActionOutcome&)>;

    static ActionOutcomeListener& shared();

    // Arms a new wait, replacing any armed one (whose continuation is then never called).
    void waitForOutcome(Continuation continuation);
    // Drops the armed wait without calling it.
    void cancel();
    void removeObservers();
    bool isWaiting() const { return localObserver_.has_value() || distributedObserver_.has_value(); }

private:
    void receive(const Notification& notification, const Continuation& continuation);

    std::optional<DistributedNotificationCenter::Token> distributedObserver_;
    std::optional<NotificationCenter::Token> localObserver_;
};

} // namespace tavlin
