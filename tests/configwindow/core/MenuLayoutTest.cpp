#include <gtest/gtest.h>

#include "configwindow/core/ContextMenu.h"
#include "configwindow/core/MenuItem.h"
#include "model/Decision.h"

namespace tavlin {
namespace {

std::vector<std::string> enabledTitles(const std::vector<MenuItem>& items) {
    std::vector<std::string> titles;
    for (const auto& item : items)
        if (!item.isSeparator && item.available) titles.push_back(item.title);
    return titles;
}

SelectedActionOrChanceRow actionSelection() {
    auto decision = Decision::make({Action(Action::Kind::openFinder{})});
    return {SelectedActionOrChanceRow::ActionRow{decision, decision->actions[0], 0}};
}

SelectedActionOrChanceRow chanceSelection() {
    auto decision = Decision::make({}, {Chance::make(Pattern(Pattern::Kind::message{"x.*"}), Decision::make())});
    return {SelectedActionOrChanceRow::ChanceRow{decision->chances[0]->id, decision, 0, decision->chances[0]->pattern}};
}

TEST(CommandKindTest, TitlesNameTheKindsExactly) {
    EXPECT_EQ(commandKindFromRawValue("Sort All > By Pattern"), CommandKind::sortAllByChance);
    EXPECT_EQ(commandKindFromRawValue("sort all > by pattern"), std::nullopt);
    EXPECT_EQ(commandKindFromRawValue("sortAllByChance"), std::nullopt);
    for (const CommandKind kind : allCommandKinds) EXPECT_EQ(commandKindFromRawValue(rawValue(kind)), kind);
}

TEST(MenuLayoutTest, EveryLayoutHasSeventeenEntriesWithSeparatorsInPlace) {
    for (const auto* items : {&rootMenuItems(), &actionMenuItems(), &chanceMenuItems()}) {
        ASSERT_EQ(items->size(), 17u);
        for (std::size_t i = 0; i < items->size(); ++i) {
            const bool separator = i + 1 == 3 || i + 1 == 8 || i + 1 == 13 || i + 1 == 16;
            EXPECT_EQ((*items)[i].isSeparator, separator) << i + 1;
        }
        EXPECT_EQ((*items)[16].title, "Sort All > By Pattern");
    }
}

TEST(MenuLayoutTest, WhatIsEnabledFollowsTheKindOfSelection) {
    using V = std::vector<std::string>;
    EXPECT_EQ(enabledTitles(nodeEditMenuItems(std::nullopt)), (V{"Add Root Action", "Add Root Chance", "Sort All > By Pattern"}));
    EXPECT_EQ(enabledTitles(nodeEditMenuItems(actionSelection())),
              (V{"Add Root Action", "Add Root Chance", "Add Action Above", "Edit Action", "Add Action Below", "Delete Action",
                 "Sort All > By Pattern"}));
    EXPECT_EQ(enabledTitles(nodeEditMenuItems(chanceSelection())),
              (V{"Add Root Action", "Add Root Chance", "Add Pattern (Chance) Above", "Edit Pattern", "Add Pattern (Chance) Below",
                 "Delete Pattern (Chance)", "Add Child Action", "Add Child Chance", "Sort All > By Pattern"}));
    // Items differing only in availability are different items.
    EXPECT_NE(MenuItem::command(CommandKind::editAction, true), MenuItem::command(CommandKind::editAction, false));
}

TEST(ContextMenuTest, TheThreeForms) {
    using T = ContextMenuEntry::Type;
    const auto root = contextMenuEntries(std::nullopt);
    ASSERT_EQ(root.size(), 4u);
    EXPECT_EQ(root[0].type, T::header);
    EXPECT_EQ(root[0].title, "Root");
    EXPECT_EQ(root[1].type, T::divider);
    EXPECT_EQ(root[2].kind, CommandKind::addRootAction);
    EXPECT_EQ(root[3].kind, CommandKind::addRootChance);

    const auto action = contextMenuEntries(actionSelection());
    ASSERT_EQ(action.size(), 6u);
    EXPECT_EQ(action[0].title, "- Open File Manager");
    EXPECT_EQ(action[5].title, "DELETE Action");
    EXPECT_EQ(action[5].kind, CommandKind::deleteAction);
    EXPECT_TRUE(action[5].destructive);
    EXPECT_FALSE(action[2].destructive);

    const auto chance = contextMenuEntries(chanceSelection());
    ASSERT_EQ(chance.size(), 9u);
    EXPECT_EQ(chance[0].title, "• Message (regex: \"x.*\")");
    EXPECT_EQ(chance[5].title, "DELETE Pattern (Chance)");
    EXPECT_EQ(chance[6].type, T::divider);
    EXPECT_EQ(chance[8].kind, CommandKind::addChildChance);
    for (const auto* entries : {&root, &action, &chance})
        for (const auto& entry : *entries)
            EXPECT_NE(entry.kind == CommandKind::sortAllByChance && entry.type == T::command, true);
}

} // namespace
} // namespace tavlin
