#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavlin::xdg {

// Entries only the desktop's own launch starts right: a terminal program (Terminal=true, which
// needs the desktop's terminal emulator) and an application started through the session bus
// (DBusActivatable=true). False for anything GIO cannot read as a desktop entry.
bool needsDesktopLaunch(const std::filesystem::path& entry);

// Launches the entry through GIO with `items` (URLs, or absolute paths, which become file URLs).
// The sentence for the user when it could not be started; nothing when it was.
std::optional<std::string> launchThroughDesktop(const std::filesystem::path& entry, const std::vector<std::string>& items,
                                                const std::string& displayName);

} // namespace tavlin::xdg
