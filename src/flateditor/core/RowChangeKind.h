#pragma once

#include <variant>

#include "model/FlatKeysAndActionRow.h"

namespace tavlin::flateditor {

// What the row sheet was opened for. Indices are positions in the stored list.
struct RowChangeKind {
    struct newRow {
        int insertIndex = 0; // not consulted: a saved new row is appended
    };
    struct newWithRow {
        FlatKeysAndActionRow oldRow;
    };
    struct edit {
        FlatKeysAndActionRow oldRow;
    };
    std::variant<newRow, newWithRow, edit> value;

    // The row an edit or a copy starts from; nothing for a new row.
    const FlatKeysAndActionRow* oldRow() const {
        if (const auto* copy = std::get_if<newWithRow>(&value)) return &copy->oldRow;
        if (const auto* change = std::get_if<edit>(&value)) return &change->oldRow;
        return nullptr;
    }
    const edit* editChange() const { return std::get_if<edit>(&value); }
};

} // namespace tavlin::flateditor
