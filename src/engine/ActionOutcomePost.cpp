#include "engine/Notifications.h"
#include "platform/base/Diagnostics.h"

// Apart from the message builders, which the command-line client links: the local post names
// the outcome's key, and that needs the keyboard layout.
namespace tavlin {

void post(const ActionOutcome& outcome) {
    diag::printLine(diag::Category::session, "Post action outcome: " + outcome.description());
    NotificationCenter::local().post(notification(outcome));
}

} // namespace tavlin
