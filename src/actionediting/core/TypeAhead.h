#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finding a name by what was typed, as lists and pickers do: the whole name before a name it
// starts, so that "xterm" finds XTerm before UXTerm and "f1" finds F1 before F17.
namespace tavlin::typeahead {

// How well a name answers what was typed, best first; case does not count.
enum class Match { exact, prefix, contains, none };
Match match(std::string_view name, std::string_view typed);

// The index of the best of `names` for `typed`: an exact name, else one that starts with it,
// the first in list order; a name `lastResort` holds for comes after every other of the same
// match. Nothing when no name starts with it.
std::optional<std::size_t> best(const std::vector<std::string>& names, std::string_view typed,
                                const std::function<bool(std::size_t)>& lastResort = {});

} // namespace tavlin::typeahead
