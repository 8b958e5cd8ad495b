#include <gtest/gtest.h>

#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/NodeEditCommandExecutor.h"
#include "platform/base/MainQueue.h"

namespace tavlin {
namespace {

using namespace test;

class NodeEditCommandExecutorTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        MainQueue::setShared(&queue_);
        model_.emplace(writeAndLoad(smallTreeText()));
        selection_.emplace(*model_);
        NodeEditCommandExecutor::Presenter presenter;
        presenter.showConfigurationWindow = [this] { ++shown_; };
        presenter.presentActionSheet = [this](ActionSheetItem item) { actionSheet_ = std::move(item); };
        presenter.presentPatternSheet = [this](PatternSheetItem item) { patternSheet_ = std::move(item); };
        presenter.confirmSort = [this](std::function<void(bool)> answer) {
            ++sortQuestions_;
            answer(confirmSort_);
        };
        executor_.emplace(*model_, *selection_, presenter);
    }
    void TearDown() override {
        executor_.reset();
        selection_.reset();
        model_.reset();
        MainQueue::setShared(nullptr);
        TempHomeTest::TearDown();
    }

    Decision& root() { return *model_->rootDecision(); }
    Decision& keyA() { return *root().chances[1]->decision; }
    void selectAction(const Action& action) { selection_->selectAction(action.id); }
    void selectChance(const Chance& chance) { selection_->selectChance(chance.id); }
    std::string fileText() const { return fileContents(configurationFile()); }
    DecisionPtr reloadedRoot() const {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->decision;
    }
    static ActionSheetItem::New newAt(const ActionSheetItem& item) { return std::get<ActionSheetItem::New>(item.changeKind); }

    VirtualMainQueue queue_;
    std::optional<ConfigurationWindowModel> model_;
    std::optional<Selection> selection_;
    std::optional<NodeEditCommandExecutor> executor_;
    std::optional<ActionSheetItem> actionSheet_;
    std::optional<PatternSheetItem> patternSheet_;
    int shown_ = 0;
    int sortQuestions_ = 0;
    bool confirmSort_ = false;
};

TEST_F(NodeEditCommandExecutorTest, AddCommandsOpenSheetsAtTheRightPlace) {
    executor_->execute(CommandKind::addRootAction);
    ASSERT_TRUE(actionSheet_);
    EXPECT_EQ(newAt(*actionSheet_).insertIndex, 3);
    EXPECT_EQ(shown_, 1);

    executor_->execute(CommandKind::addRootChance);
    ASSERT_TRUE(patternSheet_);
    EXPECT_EQ(std::get<PatternSheetItem::NewChance>(patternSheet_->changeKind).insertIndex, 2);

    selectAction(root().actions[2]);
    executor_->execute(CommandKind::addActionBelow);
    EXPECT_EQ(newAt(*actionSheet_).insertIndex, 3); // appending
    executor_->execute(CommandKind::addActionAbove);
    EXPECT_EQ(newAt(*actionSheet_).insertIndex, 2);
    executor_->execute(CommandKind::editAction);
    const auto& edit = std::get<ActionSheetItem::Edit>(actionSheet_->changeKind);
    EXPECT_EQ(edit.replaceIndex, 2);
    EXPECT_EQ(titleOf(edit.oldAction), "c");

    selectChance(*root().chances[0]);
    executor_->execute(CommandKind::addChanceAbove);
    EXPECT_EQ(std::get<PatternSheetItem::NewChance>(patternSheet_->changeKind).insertIndex, 0);
    executor_->execute(CommandKind::addChanceBelow);
    EXPECT_EQ(std::get<PatternSheetItem::NewChance>(patternSheet_->changeKind).insertIndex, 1);
    executor_->execute(CommandKind::editPattern);
    EXPECT_EQ(std::get<PatternSheetItem::EditPattern>(patternSheet_->changeKind).chanceIndex, 0);
    EXPECT_EQ(patternSheet_->initialConfigurationKind, Pattern::ConfigurationKind::message);

    selectChance(*root().chances[1]);
    executor_->execute(CommandKind::addChildAction);
    EXPECT_EQ(newAt(*actionSheet_).insertIndex, 1);
    executor_->execute(CommandKind::addChildChance);
    EXPECT_EQ(std::get<PatternSheetItem::NewChance>(patternSheet_->changeKind).insertIndex, 1);
    EXPECT_EQ(backupCount(), 0u);
}

TEST_F(NodeEditCommandExecutorTest, ACommandForTheOtherKindOfRowPrintsOneEmptyLineAndChangesNothing) {
    const std::string before = fileText();
    selectChance(*root().chances[0]);
    diag::Capture capture;
    executor_->execute(CommandKind::deleteAction);
    executor_->execute(CommandKind::editAction);
    selection_->clear();
    executor_->execute(CommandKind::deleteChance);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"", "", ""}));
    EXPECT_FALSE(actionSheet_);
    EXPECT_EQ(root().actions.size(), 3u);
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(backupCount(), 0u);
}

TEST_F(NodeEditCommandExecutorTest, DeletesChangeTheTreeAtOnceClearTheSelectionAndBackUpOnce) {
    selectChance(*root().chances[1]);
    executor_->execute(CommandKind::deleteChance);
    EXPECT_FALSE(selection_->current());
    EXPECT_EQ(root().chances.size(), 1u);
    EXPECT_EQ(reloadedRoot()->chances.size(), 1u); // the subtree went with it
    EXPECT_EQ(backupCount(), 1u);

    selectAction(root().actions[0]);
    executor_->execute(CommandKind::deleteAction);
    EXPECT_FALSE(selection_->current());
    EXPECT_EQ(titles(*reloadedRoot()), (std::vector<std::string>{"b", "c"}));
}

TEST_F(NodeEditCommandExecutorTest, AStaleSelectionIsFoundAgainByIdentifier) {
    // c is selected at index 2; an action added above it moves it to 3.
    selectAction(root().actions[2]);
    executor_->execute(CommandKind::addActionAbove);
    ASSERT_TRUE(actionSheet_);
    actionSheet_->newActionHandler(Action(Action::Kind::notification{"new"}));
    EXPECT_EQ(titles(root()), (std::vector<std::string>{"a", "b", "new", "c"}));
    executor_->execute(CommandKind::deleteAction);
    EXPECT_EQ(titles(*reloadedRoot()), (std::vector<std::string>{"a", "b", "new"}));
}

TEST_F(NodeEditCommandExecutorTest, AfterAReloadTheOldSelectionNamesNothing) {
    selectAction(root().actions[0]);
    model_->reloadConfigurationFile(); // every identifier is new
    const std::string before = fileText();
    const auto backups = backupCount();
    diag::Capture capture;
    executor_->execute(CommandKind::deleteAction);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{""}));
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(backupCount(), backups);
    EXPECT_EQ(root().actions.size(), 3u);
}

TEST_F(NodeEditCommandExecutorTest, ASelectionFollowsItsItemAndIsClearedWhenItGoes) {
    selectChance(*root().chances[1]->decision->chances[0]);
    const auto id = root().chances[1]->decision->chances[0]->id;
    model_->applyChange([&] { root().chances.erase(root().chances.begin()); });
    ASSERT_TRUE(selection_->current());
    EXPECT_EQ(selection_->current()->chance()->chanceID, id);
    model_->applyChange([&] { root().chances.clear(); });
    EXPECT_FALSE(selection_->current());
}

TEST_F(NodeEditCommandExecutorTest, AnEditedActionStaysSelectedAsItsReplacement) {
    selectAction(root().actions[1]);
    executor_->execute(CommandKind::editAction);
    actionSheet_->newActionHandler(Action(Action::Kind::notification{"B"}));
    ASSERT_TRUE(selection_->current() && selection_->current()->action());
    EXPECT_EQ(titleOf(selection_->current()->action()->action), "B");
    EXPECT_EQ(selection_->current()->action()->action.id, root().actions[1].id);
}

TEST_F(NodeEditCommandExecutorTest, SortAsksOnALaterTurnAndOnlyConfirmSortsAndSaves) {
    const std::string before = fileText();
    executor_->execute(CommandKind::sortAllByChance);
    EXPECT_EQ(sortQuestions_, 0);
    queue_.runUntilIdle();
    EXPECT_EQ(sortQuestions_, 1);
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(backupCount(), 0u);

    confirmSort_ = true;
    executor_->execute(CommandKind::sortAllByChance);
    queue_.runUntilIdle();
    const auto sorted = reloadedRoot();
    // Key patterns before message patterns, at every level.
    ASSERT_EQ(sorted->chances.size(), 2u);
    EXPECT_TRUE(sorted->chances[0]->pattern.kind.get<Pattern::Kind::key>());
    EXPECT_TRUE(sorted->chances[1]->pattern.kind.get<Pattern::Kind::message>());
    EXPECT_EQ(backupCount(), 1u);
}

TEST_F(NodeEditCommandExecutorTest, ASortConfirmedAfterAReloadChangesNothing) {
    confirmSort_ = true;
    executor_->execute(CommandKind::sortAllByChance);
    model_->reloadConfigurationFile();
    const std::string before = fileText();
    diag::Capture capture;
    queue_.runUntilIdle();
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{""}));
    EXPECT_EQ(fileText(), before);
}

TEST_F(NodeEditCommandExecutorTest, ALoadErrorBlocksEveryCommandWithAnAlert) {
    AlertRecorder recorder;
    ConfigurationWindowModel broken(std::string("The data couldn't be read."));
    Selection selection(broken);
    NodeEditCommandExecutor executor(broken, selection, {});
    executor.execute(CommandKind::editPattern);
    executor.execute(CommandKind::sortAllByChance);
    ASSERT_EQ(recorder.alerts.size(), 2u);
    EXPECT_EQ(recorder.alerts[0].first, "Failed to execute the menu item: Edit Pattern");
    EXPECT_EQ(recorder.alerts[0].second, "The data couldn't be read.");
    EXPECT_EQ(recorder.alerts[1].first, "Failed to execute the menu item: Sort All > By Pattern");
    EXPECT_EQ(queue_.runUntilIdle(), 0u);
}

} // namespace
} // namespace tavlin
