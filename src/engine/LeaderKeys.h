#pragma once

#include <cstdint>

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

} // namespace tavlin
