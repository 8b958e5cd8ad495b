#include <gtest/gtest.h>

#include "configwindow/core/DecisionTreeRows.h"
#include "model/Configuration.h"

namespace tavlin {
namespace {

TEST(DecisionTreeRowsTest, ActionsComeBeforeChancesAndEachChanceHoldsItsDecisionsRows) {
    auto inner = Decision::make({Action(Action::Kind::sleep{}, "**bold**")},
                                {Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make())});
    auto root = Decision::make({Action(Action::Kind::openFinder{})},
                               {Chance::make(Pattern(Pattern::Kind::key{{3}}), inner),
                                Chance::make(Pattern(Pattern::Kind::message{"x"}), Decision::make())});
    const DecisionTreeRows rows(root);
    ASSERT_EQ(rows.topLevel().size(), 3u);
    EXPECT_EQ(rows.size(), 5u);
    const auto* action = rows.topLevel()[0];
    EXPECT_EQ(DecisionTreeRows::actionText(action->action()), "- Open File Manager");
    const auto* key = rows.topLevel()[1];
    EXPECT_EQ(DecisionTreeRows::chanceText(*key->chance), "• Key: F");
    ASSERT_EQ(key->children.size(), 2u);
    EXPECT_EQ(key->children[0]->depth, 1);
    EXPECT_EQ(key->children[0]->parent, key);
    EXPECT_EQ(DecisionTreeRows::actionText(key->children[0]->action()), "- **bold**");
    EXPECT_EQ(key->children[1]->row, 1);
    EXPECT_TRUE(key->children[1]->isLastChild(rows));
    EXPECT_EQ(rows.chanceRow(root->chances[1]->id), rows.topLevel()[2]);
    EXPECT_EQ(rows.actionRow(inner->actions[0].id), key->children[0]);
    EXPECT_EQ(rows.actionRow(Uuid::random()), nullptr);
}

// The steps a generated tree adds read as what they do, and its leader-key chances name the key.
TEST(DecisionTreeRowsTest, AGeneratedTreeReadsInWords) {
    const LeaderKey super = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
    std::vector<FlatKeysAndActionRow> flat;
    flat.emplace_back(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), std::vector<std::int64_t>{17},
                      Action(Action::Kind::openFinder{}), false, super);
    const auto generated = Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(flat);
    const DecisionTreeRows rows(generated->decision);
    std::vector<std::string> texts;
    const auto collect = [&](const auto& self, const DecisionTreeRows::Row* parent) -> void {
        for (const auto* row : rows.children(parent)) {
            texts.push_back(row->chance ? DecisionTreeRows::chanceText(*row->chance)
                                        : DecisionTreeRows::actionText(row->action()));
            self(self, row);
        }
    };
    collect(collect, nullptr);
    EXPECT_EQ(texts, (std::vector<std::string>{"- Get Frontmost App's Desktop Entry Path", "• Always match", "- Get Leader Key",
                                               "• Leader Key: Super", "• Key: T", "- Stop Reopening the Input Window",
                                               "- Open File Manager"}));
}

TEST(DecisionTreeRowsTest, AVeryDeepTreeIsBuilt) {
    auto root = Decision::make();
    auto decision = root;
    for (int level = 0; level < 250; ++level) {
        auto child = Decision::make();
        decision->chances.push_back(Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), child));
        decision = child;
    }
    const DecisionTreeRows rows(root);
    EXPECT_EQ(rows.size(), 250u);
    EXPECT_EQ(rows.chanceRow(decision ? root->chances[0]->id : Uuid())->depth, 0);
}

} // namespace
} // namespace tavlin
