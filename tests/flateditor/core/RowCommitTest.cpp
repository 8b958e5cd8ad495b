#include "flateditor/core/SheetTestSupport.h"
#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"

namespace tavlin::flateditor::test {
namespace {

constexpr std::int64_t A = 0, S = 1, D = 2, F = 3;

class RowCommitTest : public SheetTest {
protected:
    static std::vector<std::vector<std::int64_t>> storedKeys() {
        std::vector<std::vector<std::int64_t>> keys;
        for (const auto& row : stored()) keys.push_back(row.keys);
        return keys;
    }
};

TEST_F(RowCommitTest, NewRowsAreAppendedAndTheFirstSaveStoresAListOfOne) {
    auto first = sheet(newRow());
    first.appendKey(A);
    first.setCurrentKind(ActionConfigurationKind::openFinder);
    const auto result = first.save();
    ASSERT_TRUE(result.closes);
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].id, result.row->id);
    ASSERT_EQ(savedRows.size(), 1u);
    EXPECT_EQ(savedRows[0]->id, result.row->id);

    auto copied = sheet(copy(stored()[0]));
    copied.deleteAllKeys();
    copied.appendKey(S);
    ASSERT_TRUE(copied.save().closes);
    EXPECT_EQ(storedKeys(), (std::vector<std::vector<std::int64_t>>{{A}, {S}}));
}

TEST_F(RowCommitTest, AnEditReplacesItsRowByIdWhereverTheListMovedIt) {
    const auto r0 = flatRow({A}), r1 = flatRow({S}), r2 = flatRow({D});
    store({r0, r1, r2});
    // Another writer put a row in front while the sheet was open.
    auto state = sheet(edit(r1));
    store({flatRow({F}), r0, r1, r2});
    state.deleteAllKeys();
    state.appendKey(9);
    ASSERT_TRUE(state.save().closes);
    EXPECT_EQ(storedKeys(), (std::vector<std::vector<std::int64_t>>{{F}, {A}, {9}, {D}}));
}

TEST_F(RowCommitTest, AnEditWhoseRowIsGoneIsAppendedAndTheRowNowInItsPlaceIsLeftAlone) {
    const auto r0 = flatRow({A}), r1 = flatRow({S}), other = flatRow({D});
    store({r0, r1});
    auto state = sheet(edit(r1));
    // Another program deleted the edited row; another row now stands at its position.
    store({r0, other});
    state.deleteAllKeys();
    state.appendKey(D);
    EXPECT_FALSE(state.save().closes) << "that row still takes part in the conflict check";
    state.deleteAllKeys();
    state.appendKey(F);
    diag::Capture capture;
    ASSERT_TRUE(state.save().closes);
    EXPECT_EQ(storedKeys(), (std::vector<std::vector<std::int64_t>>{{A}, {D}, {F}}));
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(RowCommitTest, UnreadableStoredRowsAreCopiedAsideBeforeTheFirstSave) {
    const std::string unreadable = R"([{"keys": "not a list"}])";
    ASSERT_EQ(settings::appGroupStore()->set(settings::keys::flatKeysAndActionRows, unreadable), std::nullopt);
    diag::Capture capture;
    auto state = sheet(newRow());
    state.appendKey(A);
    state.setCurrentKind(ActionConfigurationKind::sleep);
    ASSERT_TRUE(state.save().closes);
    EXPECT_EQ(stored().size(), 1u);

    const auto folder = settings::appGroupStore()->filePath().parent_path();
    std::vector<std::string> copies;
    for (const auto& name : folderEntries(folder))
        if (name.rfind("local.tavlin.app.flatKeysAndActionRows-unreadable-", 0) == 0) copies.push_back(name);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].substr(copies[0].size() - 5), ".json");
    EXPECT_EQ(fileContents(folder / copies[0]), unreadable);
    const auto lines = capture.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find((folder / copies[0]).string()) != std::string::npos;
    }));
}

TEST_F(RowCommitTest, AFailedFileWriteKeepsTheSheetOpenTellsWhyAndPutsNothingInForce) {
    const auto kept = flatRow({S});
    store({kept});
    auto state = sheet(newRow());
    state.appendKey(A);
    state.setCurrentKind(ActionConfigurationKind::openFinder);
    diag::Capture capture;
    RowSaveResult result;
    {
        const files::InjectedWriteFailure failure(files::InjectedWriteFailure::Step::flush, ENOSPC);
        result = state.save();
    }
    EXPECT_FALSE(result.closes);
    EXPECT_TRUE(savedRows.empty());
    ASSERT_TRUE(state.visibleValidationText());
    EXPECT_NE(state.visibleValidationText()->find("local.tavlin.app.json"), std::string::npos);
    // The reason as before, then the alert (printed here, as no presenter is installed).
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{*state.visibleValidationText(),
                                                         "Alert: Failed to save settings: " + *state.visibleValidationText()}));
    EXPECT_EQ(idsOf(stored()), idsOf({kept}));
}

TEST_F(RowCommitTest, TheReplacedRowIsTheOnlyOneSkippedByTheConflictCheck) {
    const auto r1 = flatRow({A}, commandTap(), Scope::only({"/X.desktop"}));
    const auto r2 = flatRow({A}, commandTap(), Scope::only({"/Y.desktop"}));
    store({r1, r2});
    auto state = sheet(edit(r1));
    state.scopeEditor().select("/X.desktop");
    state.scopeEditor().removeSelectedApplication();
    state.scopeEditor().addApplication("/Y.desktop");
    const auto result = state.save();
    EXPECT_FALSE(result.closes);
    EXPECT_EQ(result.focus, RowSheetField::keyBindingConflictMessage);
    EXPECT_EQ(state.visibleValidationText(), "Conflict with existing key bindings.");
    EXPECT_EQ(state.keyBindingConflictText(), "Conflict with existing key bindings (A).\nDelete and reselect a key to resolve.");
    EXPECT_EQ(stored().size(), 2u);
    EXPECT_EQ(stored()[0].applicationScope, Scope::only({"/X.desktop"}));
}

} // namespace
} // namespace tavlin::flateditor::test
