#include "flateditor/ListenEventAccess.h"

#include "engine/KeyEventHandler.h"

namespace tavlin::flateditor {
namespace {

// Listening is on only while the observer really runs: a monitor that may listen is not enough
// when the leader keys, and the observer with them, are off.
bool monitorMayListen() {
    auto& manager = KeyEventHandlerManager::shared();
    KeyboardEventMonitor* monitor = manager.monitor();
    return monitor && monitor->preflightListenEventAccess() && manager.observerRunning();
}

} // namespace

ListenEventAccess& ListenEventAccess::shared() {
    static ListenEventAccess access{monitorMayListen, monitorMayListen};
    return access;
}

} // namespace tavlin::flateditor
