#include <gtest/gtest.h>

#include <optional>

#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/DragPayload.h"
#include "configwindow/core/DropHandler.h"
#include "platform/base/MainQueue.h"

namespace tavlin {
namespace {

using namespace test;
using DropTargeting::InsertPosition;

std::vector<std::string> names(const Decision& decision) {
    std::vector<std::string> result;
    for (const auto& chance : decision.chances) {
        const auto* message = chance->pattern.kind.get<Pattern::Kind::message>();
        result.push_back(message ? message->regex : "?");
    }
    return result;
}

class DropEditsTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        MainQueue::setShared(&queue_);
        model_.emplace(writeAndLoad(dropTreeText()));
    }
    void TearDown() override {
        model_.reset();
        MainQueue::setShared(nullptr);
        TempHomeTest::TearDown();
    }

    DecisionPtr root() { return model_->rootDecision(); }
    DecisionPtr x() { return root()->chances[0]->decision; }
    DecisionPtr y() { return x()->chances[0]->decision; }
    DecisionPtr saved() const {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->decision;
    }
    // As a drop delivers them: through the payload, so chances arrive as new objects.
    Action dragged(const Action& action) {
        return DragPayload::readAction(DragPayload::writeAction(action, DragPayload::actionType), DragPayload::actionType);
    }
    ChancePtr dragged(const ChancePtr& chance) {
        return DragPayload::readChance(DragPayload::writeChance(*chance, DragPayload::chanceType), DragPayload::chanceType);
    }
    void dropAction(const Action& action, DecisionPtr container, int index, InsertPosition position, bool copy = false) {
        DropHandler::actionDropped(*model_, dragged(action), std::move(container), index, position, copy);
        queue_.runUntilIdle();
    }
    void dropChance(const ChancePtr& chance, DecisionPtr container, int index, InsertPosition position, bool copy = false) {
        DropHandler::chanceDropped(*model_, dragged(chance), std::move(container), index, position, copy);
        queue_.runUntilIdle();
    }

    VirtualMainQueue queue_;
    std::optional<ConfigurationWindowModel> model_;
    diag::Capture printed_;
};

TEST_F(DropEditsTest, ActionsMoveWithinAList) {
    const Action a = root()->actions[0];
    dropAction(a, root(), 2, InsertPosition::below);
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(root()->actions[2].id, a.id); // the moved action keeps its identifier
    EXPECT_EQ(titles(*saved()), titles(*root()));
    EXPECT_EQ(backupCount(), 1u);
    EXPECT_EQ(printed_.lines(), std::vector<std::string>{"action dragged: " + a.kind.description()});

    dropAction(root()->actions[2], root(), 0, InsertPosition::above); // a back above b
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"a", "b", "c"}));
    dropAction(root()->actions[2], root(), 0, InsertPosition::above);
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"c", "a", "b"}));
}

TEST_F(DropEditsTest, ActionDroppedWhereItIsChangesNothing) {
    const Action b = root()->actions[1];
    dropAction(b, root(), 2, InsertPosition::above); // b above c
    dropAction(b, root(), 1, InsertPosition::below); // on its own row
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(backupCount(), 0u);
    EXPECT_EQ(printed_.lines(), std::vector<std::string>{"action dragged: " + b.kind.description()});
}

TEST_F(DropEditsTest, ActionCopiesGetNewIdentifiers) {
    const Action b = root()->actions[1];
    dropAction(b, root(), 1, InsertPosition::above, true);
    dropAction(b, root(), 3, InsertPosition::below, true); // below the last one appends
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"a", "b", "b", "c", "b"}));
    EXPECT_EQ(root()->actions[2].id, b.id); // the dragged one stays; its copies went above and below
    EXPECT_NE(root()->actions[1].id, b.id);
    EXPECT_NE(root()->actions[4].id, b.id);
    EXPECT_NE(root()->actions[1].id, root()->actions[4].id);
    EXPECT_EQ(titles(*saved()), titles(*root()));
}

TEST_F(DropEditsTest, ActionsMoveBetweenDecisionsWithOneSave) {
    const Action c = root()->actions[2];
    dropAction(c, x(), 0, InsertPosition::below);
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(titles(*x()), (std::vector<std::string>{"d", "c"}));
    EXPECT_EQ(x()->actions[1].id, c.id);
    EXPECT_EQ(titles(*saved()->chances[0]->decision), (std::vector<std::string>{"d", "c"}));
    EXPECT_EQ(backupCount(), 1u);
}

TEST_F(DropEditsTest, ActionDropsThatCannotBeMadeChangeNothing) {
    const std::string before = fileContents(configurationFile());
    const Action stranger(Action::Kind::notification{"z"});
    dropAction(stranger, root(), 0, InsertPosition::above);
    dropAction(stranger, root(), 0, InsertPosition::above, true);
    // A stale row: the position lies past the end of the list.
    dropAction(root()->actions[0], x(), 1, InsertPosition::below);
    EXPECT_EQ(titles(*root()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(titles(*x()), (std::vector<std::string>{"d"}));
    EXPECT_EQ(fileContents(configurationFile()), before);
    EXPECT_EQ(backupCount(), 0u);
    const auto lines = printed_.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[5], "");
}

TEST_F(DropEditsTest, ChancesMoveAboveBelowAndInside) {
    const ChancePtr w = root()->chances[1];
    dropChance(w, root(), 0, InsertPosition::above);
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"W", "X"}));
    EXPECT_EQ(root()->chances[0]->id, w->id); // kept, though a chance's JSON holds none
    dropChance(w, root(), 1, InsertPosition::below);
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"X", "W"}));
    dropChance(w, x(), 0, InsertPosition::inside); // inside Y: first among its chances
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"X"}));
    EXPECT_EQ(names(*y()), (std::vector<std::string>{"W", "Z"}));
    EXPECT_EQ(names(*saved()->chances[0]->decision->chances[0]->decision), (std::vector<std::string>{"W", "Z"}));
    EXPECT_EQ(backupCount(), 3u);
    EXPECT_TRUE(printed_.lines().empty());
}

TEST_F(DropEditsTest, ChanceMovesBetweenDecisionsKeepTheirSubtree) {
    const ChancePtr yChance = x()->chances[0];
    dropChance(yChance, root(), 1, InsertPosition::below);
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"X", "W", "Y"}));
    EXPECT_TRUE(x()->chances.empty());
    EXPECT_EQ(root()->chances[2]->id, yChance->id);
    EXPECT_EQ(saved()->chances[2]->toJson(), yChance->toJson());
    EXPECT_EQ(backupCount(), 1u);
}

TEST_F(DropEditsTest, ChanceOnItselfMovesNothingAndCopiesAboveOrBelow) {
    const ChancePtr w = root()->chances[1];
    for (const auto position : {InsertPosition::above, InsertPosition::below, InsertPosition::inside})
        dropChance(w, root(), 1, position);
    dropChance(w, root(), 1, InsertPosition::inside, true);
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"X", "W"}));
    EXPECT_TRUE(w->decision->chances.empty());
    EXPECT_EQ(backupCount(), 0u);

    const ChancePtr xChance = root()->chances[0];
    dropChance(xChance, root(), 0, InsertPosition::above, true);
    dropChance(xChance, root(), 2, InsertPosition::below, true); // below the last one appends
    EXPECT_EQ(names(*root()), (std::vector<std::string>{"X", "X", "W", "X"}));
    EXPECT_EQ(root()->chances[1], xChance);
    for (const int copy : {0, 3}) {
        const ChancePtr copied = root()->chances[copy];
        EXPECT_NE(copied->id, xChance->id);
        EXPECT_EQ(copied->toJson(), xChance->toJson());
        EXPECT_NE(copied->decision->chances[0]->id, xChance->decision->chances[0]->id);
        EXPECT_NE(copied->decision->actions[0].id, xChance->decision->actions[0].id);
    }
    EXPECT_NE(root()->chances[0]->id, root()->chances[3]->id);
    EXPECT_EQ(saved()->chances.size(), 4u);
    EXPECT_TRUE(printed_.lines().empty());
}

TEST_F(DropEditsTest, ChanceIsNeverMovedIntoItsOwnSubtree) {
    const std::string before = fileContents(configurationFile());
    const ChancePtr xChance = root()->chances[0];
    const json::Value xJson = xChance->toJson();
    dropChance(xChance, x(), 0, InsertPosition::inside); // inside Y
    dropChance(xChance, x(), 0, InsertPosition::above);  // above Y
    dropChance(xChance, y(), 0, InsertPosition::below);  // below Z
    dropChance(xChance, y(), 0, InsertPosition::inside); // inside Z
    EXPECT_EQ(fileContents(configurationFile()), before);
    EXPECT_EQ(backupCount(), 0u);
    EXPECT_EQ(printed_.lines(), std::vector<std::string>(4, ""));

    dropChance(xChance, y(), 0, InsertPosition::inside, true); // a copy is made first: allowed
    ASSERT_EQ(y()->chances[0]->decision->chances.size(), 1u);
    EXPECT_EQ(y()->chances[0]->decision->chances[0]->toJson(), xJson);
    EXPECT_EQ(backupCount(), 1u);
}

TEST_F(DropEditsTest, ChanceDropsThatCannotBeMadeChangeNothing) {
    const std::string before = fileContents(configurationFile());
    const ChancePtr stranger = Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make());
    dropChance(stranger, root(), 0, InsertPosition::above);
    dropChance(stranger, root(), 0, InsertPosition::inside, true);
    dropChance(root()->chances[1], root(), 2, InsertPosition::above); // a stale row
    EXPECT_EQ(fileContents(configurationFile()), before);
    EXPECT_EQ(backupCount(), 0u);
    EXPECT_EQ(printed_.lines(), std::vector<std::string>(3, ""));
}

} // namespace
} // namespace tavlin
