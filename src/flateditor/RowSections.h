#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/FlatKeysAndActionRow.h"

// How the flat list groups and orders the stored rows: one section per application scope.
namespace tavlin::flateditor {

struct Section {
    FlatKeysAndActionRow::ApplicationScope sectionAppScope;
    std::vector<FlatKeysAndActionRow> rows;
};

// Rows of one scope: by leader key, then by trigger-key names in the standard text order (a
// proper prefix first). Equal names keep the stored order.
bool rowOrderLess(const FlatKeysAndActionRow& a, const FlatKeysAndActionRow& b);
std::vector<FlatKeysAndActionRow> sortedRows(std::vector<FlatKeysAndActionRow> rows);

// Sections in scope order, each with its rows sorted. Absent and empty lists give none.
std::vector<Section> groupRows(const std::optional<std::vector<FlatKeysAndActionRow>>& rows);

// What a section's header shows.
std::string sectionHeaderSymbol(const FlatKeysAndActionRow::ApplicationScope& scope);
std::string sectionHeaderTitle(const FlatKeysAndActionRow::ApplicationScope& scope);
// The scope's paths in the standard text order, so canonically equal spellings sort together.
std::vector<std::string> sectionHeaderPaths(const FlatKeysAndActionRow::ApplicationScope& scope);
std::string sectionHeaderIconTooltip(const FlatKeysAndActionRow::ApplicationScope& scope, const std::string& path);
// Icons of excluded applications are drawn without colour.
bool sectionHeaderIconsInGrayscale(const FlatKeysAndActionRow::ApplicationScope& scope);

} // namespace tavlin::flateditor
