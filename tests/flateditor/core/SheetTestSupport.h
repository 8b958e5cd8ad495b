#pragma once

#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "flateditor/FlatRows.h"
#include "flateditor/core/RowComposeSheetState.h"
#include "model/Settings.h"
#include "platform/desktop/HelperApplication.h"
#include "support/TempHome.h"

// A temporary home with the helper off, and sheets whose leader-key switches are counted.
namespace tavlin::flateditor::test {

using namespace tavlin::test;

class SheetTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        setHelperRunningProbe([this] { return helperRunning; });
    }
    void TearDown() override {
        setHelperRunningProbe(nullptr);
        TempHomeTest::TearDown();
    }

    RowComposeSheetState sheet(RowChangeKind change) {
        RowSheetItem item(std::move(change),
                          [this](const std::optional<FlatKeysAndActionRow>& row) { savedRows.push_back(row); });
        return RowComposeSheetState(std::move(item), {[this] { ++unregistered; }, [this] { ++reloaded; }});
    }
    static RowChangeKind newRow() { return {RowChangeKind::newRow{0}}; }
    static RowChangeKind edit(const FlatKeysAndActionRow& row) { return {RowChangeKind::edit{row}}; }
    static RowChangeKind copy(const FlatKeysAndActionRow& row) { return {RowChangeKind::newWithRow{row}}; }

    static void store(const std::vector<FlatKeysAndActionRow>& rows) {
        ASSERT_EQ(settings::setFlatKeysAndActionRows(rows), std::nullopt);
    }
    static std::vector<FlatKeysAndActionRow> stored() {
        return settings::flatKeysAndActionRows().value_or(std::vector<FlatKeysAndActionRow>{});
    }

    bool helperRunning = false;
    int unregistered = 0;
    int reloaded = 0;
    std::vector<std::optional<FlatKeysAndActionRow>> savedRows;
};

inline const FlatKeysAndActionRow& builtRow(const std::variant<FlatKeysAndActionRow, ValidationError>& built) {
    if (const auto* error = std::get_if<ValidationError>(&built)) ADD_FAILURE() << error->message();
    return std::get<FlatKeysAndActionRow>(built);
}

inline std::optional<std::string> errorText(const std::variant<FlatKeysAndActionRow, ValidationError>& built) {
    const auto* error = std::get_if<ValidationError>(&built);
    return error ? std::optional<std::string>(error->message()) : std::nullopt;
}

} // namespace tavlin::flateditor::test
