#pragma once

#include <optional>
#include <vector>

#include "model/HotKey.h"

namespace tavlin {

// The single-modifier leader keys as the leader-key callback last read them from the file.
// Every load, conversion and generated write of the configuration clears it, so that the
// callback never acts on leader keys older than the file. Main thread only.
std::optional<std::vector<HotKey>>& cachedLeaderKeys();

} // namespace tavlin
