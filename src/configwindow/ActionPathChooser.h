#pragma once

#include <optional>
#include <string>

#include "configwindow/core/PathChooserSettings.h"

namespace tavlin {

// Lets the user choose a path of the kind in an open panel and stores a read-only bookmark of it,
// so the action can reach it later. Nothing when the panel is cancelled, gives no URL, or the
// bookmark cannot be stored (an alert says so).
std::optional<std::string> choosePath(PathChooserKind kind);

} // namespace tavlin
