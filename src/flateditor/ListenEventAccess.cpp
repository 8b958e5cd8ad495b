#include "flateditor/ListenEventAccess.h"

#include "engine/KeyEventHandler.h"
#include "engine/LeaderKeys.h"

namespace tavlin::flateditor {
namespace {

// Listening is on only while the observer really runs: a monitor that may listen is not enough
// when the leader keys, and the observer with them, are off. Released for a listed application
// in front, they are off only for the while, and nothing the user granted changed: the answer
// is then whether the observer ran until they were released.
bool monitorMayListen() {
    auto& manager = KeyEventHandlerManager::shared();
    KeyboardEventMonitor* monitor = manager.monitor();
    if (!monitor || !monitor->preflightListenEventAccess()) return false;
    return manager.observerRunning() || (leaderKeysReleasedForActiveApplication() && manager.observerStartedWhenLastInstalled());
}

} // namespace

ListenEventAccess& ListenEventAccess::shared() {
    static ListenEventAccess access{monitorMayListen, monitorMayListen};
    return access;
}

} // namespace tavlin::flateditor
