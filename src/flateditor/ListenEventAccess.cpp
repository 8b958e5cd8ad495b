#include "flateditor/ListenEventAccess.h"

#include "engine/KeyEventHandler.h"

namespace tavlin::flateditor {
namespace {

bool monitorMayListen() {
    KeyboardEventMonitor* monitor = KeyEventHandlerManager::shared().monitor();
    return monitor && monitor->preflightListenEventAccess();
}

} // namespace

ListenEventAccess& ListenEventAccess::shared() {
    static ListenEventAccess access{monitorMayListen, monitorMayListen};
    return access;
}

} // namespace tavlin::flateditor
