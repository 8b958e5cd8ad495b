#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "flateditor/core/RowChangeKind.h"
#include "platform/files/UserDefaults.h"

namespace tavlin::flateditor {

// The list's handler, called with the row the sheet stored.
using RowSaved = std::function<void(const std::optional<FlatKeysAndActionRow>& row)>;

// What storing a saved row came to.
struct RowCommitResult {
    enum class Status {
        stored,
        // Nothing stored: the list could not be encoded, the file could not be written (an alert
        // said so), or unreadable stored rows could not be kept aside. `message` says why; the
        // sheet stays open.
        refused,
    };
    Status status = Status::stored;
    std::optional<std::string> message;

    bool closesSheet() const { return status != Status::refused; }
};

// The position in `rows` that saving `changeKind` replaces: the edited row, found by its id.
// Nothing for new rows, or when the edited row is gone and the edit must append.
std::optional<std::size_t> replacedRowIndex(const std::vector<FlatKeysAndActionRow>& rows, const RowChangeKind& changeKind);

// Stores the row into the stored list: new rows at the end, an edit in place of the row it
// replaces (appended, with one line printed, when that row is gone). Rows stored in a form that
// cannot be read are first copied beside the suite file. `alsoStored` goes into the same write, so
// a save is one write of the file and one announcement. Calls `rowSaved` unless refused.
RowCommitResult commitRow(const RowChangeKind& changeKind, const FlatKeysAndActionRow& row, const RowSaved& rowSaved,
                          std::map<std::string, DefaultsValue> alsoStored = {});

} // namespace tavlin::flateditor
