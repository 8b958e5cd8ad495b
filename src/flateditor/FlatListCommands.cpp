#include "flateditor/FlatListCommands.h"

#include "flateditor/RowSections.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::flateditor {
namespace {

std::optional<std::size_t> storedIndex(const std::vector<FlatKeysAndActionRow>& rows, const Uuid& id) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].id == id) return i;
    return std::nullopt;
}

bool store(const std::vector<FlatKeysAndActionRow>& rows) { return !settings::storeChosenFlatRows(rows); }

std::string sectionIDsText(const std::vector<Section>& sections) {
    std::string text = "[";
    for (std::size_t s = 0; s < sections.size(); ++s) {
        if (s > 0) text += ", ";
        text += "[";
        for (std::size_t r = 0; r < sections[s].rows.size(); ++r) {
            if (r > 0) text += ", ";
            text += sections[s].rows[r].id.string();
        }
        text += "]";
    }
    return text + "]";
}

} // namespace

std::optional<FlatKeysAndActionRow> rowToSelectAfterDeleting(const Uuid& rowID, const std::vector<FlatKeysAndActionRow>& rows) {
    const auto sections = groupRows(rows);
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const auto& sectionRows = sections[s].rows;
        const auto index = storedIndex(sectionRows, rowID);
        if (!index) continue;
        if (sectionRows.size() >= 2) return *index + 1 < sectionRows.size() ? sectionRows[*index + 1] : sectionRows[*index - 1];
        if (sections.size() == 1) return std::nullopt;
        const auto& neighbour = s + 1 < sections.size() ? sections[s + 1] : sections[s - 1];
        if (neighbour.rows.empty()) {
            diag::printLine(diag::Category::editor,
                            "currentRowID: " + rowID.string() + "; sections: " + sectionIDsText(sections));
            return std::nullopt;
        }
        return neighbour.rows.front();
    }
    return std::nullopt;
}

void deleteRow(std::optional<Uuid>& selectedRowID) {
    auto rows = settings::flatKeysAndActionRows();
    const auto index = selectedRowID && rows ? storedIndex(*rows, *selectedRowID) : std::nullopt;
    if (!index) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    const auto successor = rowToSelectAfterDeleting(*selectedRowID, *rows);
    rows->erase(rows->begin() + static_cast<std::ptrdiff_t>(*index));
    // A row that is still stored stays selected.
    if (!store(*rows)) return;
    selectedRowID = successor ? std::optional<Uuid>(successor->id) : std::nullopt;
}

void updateStoredRow(const FlatKeysAndActionRow& row, const FlatKeysAndActionRow& from) {
    auto rows = settings::flatKeysAndActionRows();
    const auto index = rows ? storedIndex(*rows, from.id) : std::nullopt;
    if (!index) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    (*rows)[*index] = row;
    store(*rows);
}

RowComposeSheet::ChangeKind newRowChange() { return {RowComposeSheet::ChangeKind::newRow{0}}; }

std::optional<RowComposeSheet::ChangeKind> editRowChange(const std::optional<Uuid>& selectedRowID) {
    const auto rows = settings::flatKeysAndActionRows();
    const auto index = selectedRowID && rows ? storedIndex(*rows, *selectedRowID) : std::nullopt;
    if (!index) {
        diag::printLine(diag::Category::editor, "");
        return std::nullopt;
    }
    return RowComposeSheet::ChangeKind{RowComposeSheet::ChangeKind::edit{(*rows)[*index]}};
}

std::optional<RowComposeSheet::ChangeKind> newRowWithSelectedChange(const std::optional<Uuid>& selectedRowID) {
    const auto rows = settings::flatKeysAndActionRows();
    const auto index = selectedRowID && rows ? storedIndex(*rows, *selectedRowID) : std::nullopt;
    if (!index) {
        diag::printLine(diag::Category::editor, "");
        return std::nullopt;
    }
    return RowComposeSheet::ChangeKind{RowComposeSheet::ChangeKind::newWithRow{(*rows)[*index]}};
}

} // namespace tavlin::flateditor
