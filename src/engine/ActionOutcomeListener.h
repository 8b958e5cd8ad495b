#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "model/ActionOutcome.h"
#include "platform/desktop/NotificationCenter.h"

namespace tavlin {

// The one-shot wait of a key sequence for its next outcome, from this process (local centre) or
// from others (distributed centre). The first outcome that decodes is taken.
class ActionOutcomeListener {
public:
    using Continuation = std::function<void(const ActionOutcome&)>;

    static ActionOutcomeListener& shared();

    // Arms a new wait, replacing any armed one (whose continuation is then never called).
    void waitForOutcome(Continuation continuation);
    // Drops the armed wait without calling it; the session is over, and so are the keys it held
    // and the texts it expected.
    void cancel();
    void removeObservers();
    bool isWaiting() const { return localObserver_.has_value() || distributedObserver_.has_value(); }

    // A session's own action that reports a text is queued. Until that text is handled, keys
    // typed meanwhile are held: they belong to the decision the text leads to (a generated tree
    // asks for the frontmost application and the leader key before any trigger key). Answers
    // the session the text belongs to, for `ownOutcomeHandled`.
    std::uint64_t expectOwnOutcome();
    // The action has run and its text was handled; once no such text is outstanding, the held
    // keys are matched in the order they were typed.
    void ownOutcomeHandled(std::uint64_t session);
    bool hasEnded(std::uint64_t session) const { return session != session_; }

    // A wait-again leaf starts the session over: the keys still held were typed for the session
    // that follows. Taken before the restart cancels the wait, they are handed to the new session
    // after it, ahead of any key typed later, and matched once its own texts are handled.
    std::deque<ActionOutcome> takeHeldKeys();
    void holdForNextSession(std::deque<ActionOutcome> keys);

private:
    void receive(const Notification& notification);
    void deliver(const ActionOutcome& outcome);
    void releaseHeldKeys();

    std::optional<DistributedNotificationCenter::Token> distributedObserver_;
    std::optional<NotificationCenter::Token> localObserver_;
    Continuation continuation_;
    std::uint64_t session_ = 0;
    int pendingOwnOutcomes_ = 0;
    std::deque<ActionOutcome> heldKeys_;
};

} // namespace tavlin
