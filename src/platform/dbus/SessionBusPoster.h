#pragma once

#include <optional>
#include <string>

#include "platform/desktop/NotificationCenter.h"

// Posting a distributed notification from a short-lived process: no event loop and no
// application object, just libdbus. The running application uses
// DBusDistributedNotificationCenter instead.
namespace tavlin::sessionBus {

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the user's socket
// $XDG_RUNTIME_DIR/bus. Never an autolaunch address: a client must not start a bus daemon
// that nobody listens on.
std::optional<std::string> address();

// Connects, sends the notification as one Post signal, waits until the bus has the bytes and
// disconnects: a process may exit as soon as this returns. Answers whether it was sent; when
// not, `whyNot` (if given) says why.
bool postNotification(const Notification& notification, std::string* whyNot = nullptr);

// Calls a method of the process that owns `service`, with an optional text argument, and waits
// for its answer (up to `timeoutMilliseconds`). False when no process owns the name, the bus
// cannot be reached, or the call fails.
bool callOwnedService(const char* service, const char* path, const char* interface, const char* member,
                      const std::optional<std::string>& argument, int timeoutMilliseconds);

} // namespace tavlin::sessionBus
