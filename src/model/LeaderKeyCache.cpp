#include "model/LeaderKeyCache.h"

namespace tavlin {

std::optional<std::vector<HotKey>>& cachedLeaderKeys() {
    static std::optional<std::vector<HotKey>> cache;
    return cache;
}

} // namespace tavlin
