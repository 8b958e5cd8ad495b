#include <gtest/gtest.h>

#include "FlatRows.h"
#include "flateditor/FlatListCommands.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/json/Json.h"
#include "support/TempHome.h"

namespace tavlin::flateditor {
namespace {

using test::flatRow;
using test::Scope;

constexpr int A = 0, B = 11, C = 8;

class FlatListCommandsTest : public test::TempHomeTest {
protected:
    static std::vector<FlatKeysAndActionRow> stored() {
        return settings::flatKeysAndActionRows().value_or(std::vector<FlatKeysAndActionRow>{});
    }
    static void store(const std::vector<FlatKeysAndActionRow>& rows) { ASSERT_FALSE(settings::setFlatKeysAndActionRows(rows)); }
    static std::string storedText() {
        return settings::appGroupStore()->string(settings::keys::flatKeysAndActionRows).value_or("");
    }
};

TEST_F(FlatListCommandsTest, successorIsTheNeighbourOnScreen) {
    const auto a = flatRow({A}), b = flatRow({B}), c = flatRow({C});
    const auto app = flatRow({A}, test::commandTap(), Scope::only({"/x.desktop"}));
    // Stored out of display order: the successor follows the display.
    const std::vector rows{c, app, a, b};
    EXPECT_EQ(rowToSelectAfterDeleting(b.id, rows)->id, c.id);   // middle: the next one
    EXPECT_EQ(rowToSelectAfterDeleting(c.id, rows)->id, b.id);   // last: the one before
    EXPECT_EQ(rowToSelectAfterDeleting(app.id, rows)->id, a.id); // lone row: first of next section
    // A lone row of the last section: the first (not last) row of the previous section.
    const auto x1 = flatRow({A}, test::commandTap(), Scope::only({"/x.desktop"}));
    const auto x2 = flatRow({B}, test::commandTap(), Scope::only({"/x.desktop"}));
    const auto everywhere = flatRow({C});
    EXPECT_EQ(rowToSelectAfterDeleting(everywhere.id, {x2, everywhere, x1})->id, x1.id);
    EXPECT_FALSE(rowToSelectAfterDeleting(a.id, {a}));
    EXPECT_FALSE(rowToSelectAfterDeleting(Uuid::random(), rows));
}

TEST_F(FlatListCommandsTest, deleteRemovesTheStoredRowAndSelectsItsSuccessor) {
    const auto a = flatRow({A}), b = flatRow({B}), c = flatRow({C});
    store({c, a, b});
    std::optional<Uuid> selection = a.id;
    deleteRow(selection);
    EXPECT_EQ(test::idsOf(stored()), test::idsOf({c, b}));
    EXPECT_EQ(selection, b.id);
    selection = c.id;
    deleteRow(selection);
    selection = b.id;
    deleteRow(selection);
    EXPECT_FALSE(selection);
    EXPECT_EQ(storedText(), "[]");
}

TEST_F(FlatListCommandsTest, commandsThatFindNothingPrintOneEmptyLine) {
    diag::Capture capture;
    std::optional<Uuid> none;
    deleteRow(none); // no stored list
    const auto a = flatRow({A});
    store({a});
    const std::string before = storedText();
    deleteRow(none);
    std::optional<Uuid> stale = Uuid::random();
    deleteRow(stale);
    EXPECT_EQ(stale, stale); // unchanged
    EXPECT_FALSE(editRowChange(stale));
    EXPECT_FALSE(newRowWithSelectedChange(none));
    updateStoredRow(flatRow({B}), flatRow({B}));
    EXPECT_EQ(capture.lines(), std::vector<std::string>(6, ""));
    EXPECT_EQ(storedText(), before);
}

TEST_F(FlatListCommandsTest, changeKindsCarryTheSelectedStoredRow) {
    const auto shownThird = flatRow({C}), first = flatRow({A}), second = flatRow({B});
    store({shownThird, first, second});
    const auto edit = editRowChange(shownThird.id);
    ASSERT_TRUE(edit);
    const auto* payload = std::get_if<RowComposeSheet::ChangeKind::edit>(&edit->value);
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->oldRow.id, shownThird.id);
    const auto duplicate = newRowWithSelectedChange(second.id);
    ASSERT_TRUE(duplicate);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::newWithRow>(duplicate->value).oldRow.id, second.id);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::newRow>(newRowChange().value).insertIndex, 0);
}

TEST_F(FlatListCommandsTest, writeBackReplacesOnlyThatElement) {
    const auto a = flatRow({A}), b = flatRow({B}), c = flatRow({C});
    store({a, b, c});
    auto changed = b;
    changed.enabled = false;
    updateStoredRow(changed, b);
    const std::string text = storedText();
    EXPECT_EQ(text, flatRowsRawValue({a, changed, c}));
}

TEST_F(FlatListCommandsTest, rowsStoredWithoutIdentifiersCanBeDeleted) {
    json::Value element = flatRow({A}).toJson();
    element.erase("id");
    json::Value array = json::Value::array();
    array.push_back(element);
    settings::appGroupStore()->set(settings::keys::flatKeysAndActionRows, json::encode(array, json::Style::compact));
    const auto rows = settings::flatKeysAndActionRows();
    ASSERT_TRUE(rows && rows->size() == 1);
    std::optional<Uuid> selection = rows->front().id;
    deleteRow(selection);
    EXPECT_EQ(storedText(), "[]");
}

TEST_F(FlatListCommandsTest, aStoredTextThatIsNotRowsIsLeftAlone) {
    settings::appGroupStore()->set(settings::keys::flatKeysAndActionRows, std::string("{not json"));
    std::optional<Uuid> selection = Uuid::random();
    diag::Capture capture;
    deleteRow(selection);
    EXPECT_EQ(storedText(), "{not json");
}

} // namespace
} // namespace tavlin::flateditor
