#include "actionediting/core/TypeAhead.h"

#include "platform/text/Unicode.h"

namespace tavlin::typeahead {

Match match(std::string_view name, std::string_view typed) {
    const std::string folded = unicode::lowercased(name), wanted = unicode::lowercased(typed);
    if (wanted.empty()) return Match::none;
    if (folded == wanted) return Match::exact;
    if (folded.starts_with(wanted)) return Match::prefix;
    return folded.find(wanted) != std::string::npos ? Match::contains : Match::none;
}

std::optional<std::size_t> best(const std::vector<std::string>& names, std::string_view typed,
                                const std::function<bool(std::size_t)>& lastResort) {
    std::optional<std::size_t> found;
    // Ranks: exact, exact last resort, prefix, prefix last resort.
    int foundRank = 4;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Match m = match(names[i], typed);
        if (m != Match::exact && m != Match::prefix) continue;
        const int rank = (m == Match::exact ? 0 : 2) + (lastResort && lastResort(i) ? 1 : 0);
        if (rank < foundRank) {
            found = i;
            foundRank = rank;
        }
    }
    return found;
}

} // namespace tavlin::typeahead
