#include "flateditor/RowSections.h"

#include <algorithm>
#include <unordered_map>

#include "model/KeyNames.h"
#include "platform/text/Unicode.h"

namespace tavlin::flateditor {
namespace {

using Scope = FlatKeysAndActionRow::ApplicationScope;

bool namesLess(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const std::size_t count = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (unicode::canonicallyEqual(a[i], b[i])) continue;
        return unicode::canonicalLess(a[i], b[i]);
    }
    return a.size() < b.size();
}

// The names are looked up once per row, not once per comparison.
struct Keyed {
    std::vector<std::string> names;
    FlatKeysAndActionRow* row;
};

bool keyedLess(const Keyed& a, const Keyed& b) {
    if (a.row->leaderKey != b.row->leaderKey) return a.row->leaderKey < b.row->leaderKey;
    return namesLess(a.names, b.names);
}

void sortInPlace(std::vector<FlatKeysAndActionRow>& rows) {
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (auto& row : rows) keyed.push_back({keyNames(row.keys), &row});
    std::stable_sort(keyed.begin(), keyed.end(), keyedLess);
    std::vector<FlatKeysAndActionRow> sorted;
    sorted.reserve(rows.size());
    for (auto& entry : keyed) sorted.push_back(std::move(*entry.row));
    rows = std::move(sorted);
}

} // namespace

bool rowOrderLess(const FlatKeysAndActionRow& a, const FlatKeysAndActionRow& b) {
    if (a.leaderKey != b.leaderKey) return a.leaderKey < b.leaderKey;
    return namesLess(keyNames(a.keys), keyNames(b.keys));
}

std::vector<FlatKeysAndActionRow> sortedRows(std::vector<FlatKeysAndActionRow> rows) {
    sortInPlace(rows);
    return rows;
}

std::vector<Section> groupRows(const std::optional<std::vector<FlatKeysAndActionRow>>& rows) {
    std::vector<Section> sections;
    if (!rows) return sections;
    std::unordered_multimap<std::int64_t, std::size_t> sectionsByHash;
    for (const auto& row : *rows) {
        const auto& scope = row.applicationScope;
        const std::int64_t hash = scope.pathSetHash();
        std::optional<std::size_t> found;
        for (auto [it, end] = sectionsByHash.equal_range(hash); it != end; ++it) {
            if (sections[it->second].sectionAppScope == scope) {
                found = it->second;
                break;
            }
        }
        if (!found) {
            found = sections.size();
            sections.push_back({scope, {}});
            sectionsByHash.emplace(hash, *found);
        }
        sections[*found].rows.push_back(row);
    }
    for (auto& section : sections) sortInPlace(section.rows);
    std::stable_sort(sections.begin(), sections.end(),
                     [](const Section& a, const Section& b) { return a.sectionAppScope < b.sectionAppScope; });
    return sections;
}

std::string sectionHeaderSymbol(const Scope& scope) {
    return scope.scopeCase == Scope::Case::allBut ? "a.square.fill" : "a.square";
}

std::string sectionHeaderTitle(const Scope& scope) {
    if (scope.scopeCase == Scope::Case::only) return "Available In";
    return scope.paths.empty() ? "Available In All Applications" : "Available In All Applications Except";
}

std::vector<std::string> sectionHeaderPaths(const Scope& scope) {
    std::vector<std::string> paths(scope.paths.begin(), scope.paths.end());
    std::stable_sort(paths.begin(), paths.end(),
                     [](const std::string& a, const std::string& b) { return unicode::canonicalLess(a, b); });
    return paths;
}

std::string sectionHeaderIconTooltip(const Scope& scope, const std::string& path) {
    return (scope.scopeCase == Scope::Case::allBut ? "This key binding is NOT available in "
                                                   : "This key binding is available in ") +
           path;
}

bool sectionHeaderIconsInGrayscale(const Scope& scope) { return scope.scopeCase == Scope::Case::allBut; }

} // namespace tavlin::flateditor
