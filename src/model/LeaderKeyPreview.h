#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace tavlin {

// A combination leader key as the file stores it: virtual key code and Carbon modifier mask.
using LeaderKeyCombination = std::pair<std::uint32_t, std::uint32_t>;

// The combination leader keys of a configuration text, read from its beginning without decoding
// the tree: our writer puts "hotKeys" before the decision, so start-up can grab them before the
// file is loaded or regenerated. A preview only: nothing when the text does not hold a complete
// top-level "hotKeys" array that reads, and what the full load finds takes its place.
std::optional<std::vector<LeaderKeyCombination>> previewLeaderKeyCombinations(std::string_view text);
// The same for the first bytes of the file (a file that cannot be read previews nothing).
std::optional<std::vector<LeaderKeyCombination>> previewLeaderKeyCombinationsOfFile(const std::filesystem::path& file);

} // namespace tavlin
