#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_set>

#include "shortcutkit/Name.h"

// Callbacks run when a named shortcut is pressed or released. A name with a callback has its
// stored shortcut registered as a system-wide hot key, and keeps it registered across changes of
// other names. Main thread only.
namespace tavlin::shortcutkit {

using Callback = std::function<void()>;

void onKeyDown(const Name& name, Callback action);
void onKeyUp(const Name& name, Callback action);
// Marks the name's stored shortcut as in use (bookkeeping only).
void registerName(const Name& name);
// Unregisters the name's stored shortcut and drops it from the bookkeeping; the hot key comes
// back at once when another name with a callback stores the same shortcut.
void unregisterName(const Name& name);
// Drops every key-down and key-up callback; shortcuts that streams still use stay registered.
void removeAllHandlers();

namespace detail {
// Stream callbacks, kept beside the handlers so presses reach both in the order they were added.
std::uint64_t addStreamCallback(const Name& name, EventType type, Callback callback);
void removeStreamCallback(const Name& name, std::uint64_t token);
// The stored shortcuts of names with callbacks or live stream callbacks.
std::unordered_set<Shortcut, ShortcutHash> shortcutsInUse();
// After a stream ended: unregisters the name's shortcut when no name in any table stores it.
void unregisterIfUnused(const Name& name);
// Runs the callbacks of every name that stores the shortcut: handlers first, then streams.
void dispatch(const Shortcut& shortcut, EventType type);
} // namespace detail

} // namespace tavlin::shortcutkit
