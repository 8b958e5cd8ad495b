#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/HotKey.h"
#include "platform/desktop/Workspace.h"

namespace tavlin {

// Arms the leader keys of the configuration file: the hot keys of its combinations, the
// recognition of its single modifiers, and the input window's event handler. A file that cannot
// be read ends in the alert "Invalid configuration file" with every leader key off. With
// `skipHotKeys` the hot keys are neither unregistered, nor handled, nor registered.
void reloadLeaderKeys(bool skipHotKeys);
// Switches every leader key off; the window's event handler and the current leader key stay.
void unregisterAllLeaderKeys();
// The callback of the key-event handler: records the leader key and, on its release, shows the
// input window or hides it. A single modifier arrives with its key code in both arguments.
void handleLeaderKeyEvent(std::uint32_t keyCode, std::uint32_t modifiers, bool keyDown);

// While the active application is on the disabled-applications list, every leader key is
// released (no hot key held, no tap recognised) so that its keys reach it unchanged; they are
// taken back when another application becomes active; none stands for no application in front,
// and for this program's own windows. A session already open stays open.
void leaderKeysFollowActiveApplication(const std::optional<RunningApplication>& application);
// The stored list changed: compares the application last passed with it again.
void leaderKeysFollowDisabledApplications();
bool leaderKeysReleasedForActiveApplication();
// Whether a lone tap of the modifier opens a session now: it is a single-modifier leader key of
// the file, and the leader keys are armed and not released.
bool isArmedSingleModifierLeaderKey(HotKey::SingleTapModifier modifier);
// Whether the list names the application: its desktop entry, or its executable.
bool isDisabledApplication(const RunningApplication& application, const std::vector<std::string>& disabledPaths);
// The name a person reads for a combination leader key (in the notification of a refused one).
std::string leaderKeyDisplayName(std::uint32_t keyCode, std::uint32_t modifiers);
// Back to a fresh process: no active application known, no refused leader key told yet.
void resetLeaderKeyState();

} // namespace tavlin
