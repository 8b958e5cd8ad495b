#include "flateditor/core/RowCommit.h"

#include <chrono>

#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/Result.h"
#include "platform/files/Files.h"

namespace tavlin::flateditor {
namespace {

using Status = RowCommitResult::Status;

// Keeps a stored text that does not read as rows beside the suite file before a save replaces
// it. Answers the failure, or nothing.
std::optional<std::string> keepUnreadableRowsAside(const UserDefaults& store, const std::string& text) {
    const auto folder = store.filePath().parent_path();
    if (folder.empty()) return "The stored key bindings cannot be read and no folder is known to keep them in.";
    const auto aside = folder / (store.name() + "." + settings::keys::flatKeysAndActionRows + "-unreadable-" +
                                 files::backupTimestamp(std::chrono::system_clock::now()) + ".json");
    try {
        files::createDirectories(folder);
        files::writeFileAtomically(aside, text);
    } catch (const std::exception& error) {
        return "The stored key bindings cannot be read and could not be copied aside: " + localizedDescription(error);
    }
    diag::printLine(diag::Category::editor, "The stored key bindings could not be read; they were copied to " + aside.string());
    return std::nullopt;
}

} // namespace

std::optional<std::size_t> replacedRowIndex(const std::vector<FlatKeysAndActionRow>& rows, const RowChangeKind& changeKind) {
    const auto* edit = changeKind.editChange();
    if (!edit) return std::nullopt;
    // Every stored row has an id: without it the row is gone, and whatever stands at its old
    // position now is another row, which must neither be replaced nor skipped by the conflict check.
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].id == edit->oldRow.id) return i;
    return std::nullopt;
}

RowCommitResult commitRow(const RowChangeKind& changeKind, const FlatKeysAndActionRow& row, const RowSaved& rowSaved,
                          std::map<std::string, DefaultsValue> alsoStored) {
    const auto store = settings::appGroupStore();
    const auto storedText = store->string(settings::keys::flatKeysAndActionRows);
    auto rows = settings::flatKeysAndActionRows();
    if (!rows && storedText) {
        if (auto failure = keepUnreadableRowsAside(*store, *storedText)) return {Status::refused, failure};
    }
    if (!rows) rows.emplace();

    if (const auto index = replacedRowIndex(*rows, changeKind)) {
        (*rows)[*index] = row;
    } else {
        if (changeKind.editChange())
            diag::printLine(diag::Category::editor, "The edited key binding is no longer stored; the saved one is appended.");
        rows->push_back(row);
    }

    // A list that cannot be encoded is told in the sheet alone: no file is involved.
    std::string text;
    try {
        text = flatRowsRawValue(*rows);
    } catch (const std::exception& error) {
        return {Status::refused, localizedDescription(error)};
    }
    alsoStored.insert_or_assign(settings::keys::flatKeysAndActionRows, DefaultsValue(text));
    // A row the file does not take is not in force either: the sheet stays open with it.
    if (auto failure = settings::storeChosenValues(std::move(alsoStored))) return {Status::refused, failure};
    if (rowSaved) rowSaved(row);
    return {};
}

} // namespace tavlin::flateditor
