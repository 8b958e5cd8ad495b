#pragma once

#include <optional>
#include <vector>

#include "flateditor/RowComposeSheet.h"
#include "model/FlatKeysAndActionRow.h"
#include "platform/base/Uuid.h"

// The flat list's commands over the stored rows, apart from the widgets. Rows are found by id;
// a command that finds no selection, no stored list or no row with the selected id changes
// nothing and prints one empty line.
namespace tavlin::flateditor {

// The row to select once the row is deleted: its neighbour as the list shows it.
std::optional<FlatKeysAndActionRow> rowToSelectAfterDeleting(const Uuid& rowID, const std::vector<FlatKeysAndActionRow>& rows);

// Deletes the selected row and moves the selection to its successor. A change that cannot be
// stored is told in an alert and leaves the stored rows, and those in force, as they were.
void deleteRow(std::optional<Uuid>& selectedRowID);
// Writes `row` over the stored row with the id of `from`, as deleteRow stores.
void updateStoredRow(const FlatKeysAndActionRow& row, const FlatKeysAndActionRow& from);

RowComposeSheet::ChangeKind newRowChange();
// The edit of the selected row, carrying its position in the stored list.
std::optional<RowComposeSheet::ChangeKind> editRowChange(const std::optional<Uuid>& selectedRowID);
std::optional<RowComposeSheet::ChangeKind> newRowWithSelectedChange(const std::optional<Uuid>& selectedRowID);

} // namespace tavlin::flateditor
