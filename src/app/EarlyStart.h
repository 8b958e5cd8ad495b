#pragma once

#include <memory>
#include <optional>

#include "app/InstanceLock.h"
#include "platform/x11/X11HotKeyRegistrar.h"

namespace tavlin::app {

// What the executable does before it loads the application, in a small library of its own
// (Xlib and the file's first bytes, no Qt): the leader keys work while the rest loads, and the
// application takes over what was done here instead of doing it again.
struct EarlyStart {
    // The instance lock for the display, as taken here; nothing when it was not tried.
    std::optional<InstanceLock::State> lockState;
    InstanceLock lock;
    // The connection with the combination leader keys grabbed, only when the lock is held: a
    // second start never grabs.
    X11HotKeyRegistrar::HeldGrabs hotKeys;
};

// Null when the display cannot be reached.
std::unique_ptr<EarlyStart> startEarly();

} // namespace tavlin::app

// The library's entry, for the executable: it hands the result on to the application's entry,
// which owns it from then on. Null when nothing was done.
extern "C" __attribute__((visibility("default"))) void* tavlinStartEarly() noexcept;
// Lets go of what tavlinStartEarly made (the lock, the connection and its grabs), for an
// application library that cannot take it over.
extern "C" __attribute__((visibility("default"))) void tavlinDiscardEarlyStart(void* early) noexcept;
