#include <gtest/gtest.h>

#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QTextEdit>

#include "configwindow/ActionComposeSheet.h"
#include "configwindow/ContentViewHarness.h"
#include "configwindow/PatternComposeSheet.h"

namespace tavlin {
namespace {

using namespace test;

class CommandsTest : public ContentViewTest {
protected:
    ActionComposeSheet* actionSheet() { return dynamic_cast<ActionComposeSheet*>(view_->openSheet()); }
    PatternComposeSheet* patternSheet() { return dynamic_cast<PatternComposeSheet*>(view_->openSheet()); }
    void pickKind(QComboBox* picker, const QString& title) {
        const int index = picker->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        picker->setCurrentIndex(index);
    }
    // Saves the open action sheet as the kind "Open File Manager".
    void saveOpenFileManager() {
        ASSERT_TRUE(actionSheet());
        pickKind(actionSheet()->kindPicker(), "Open File Manager");
        ASSERT_TRUE(actionSheet()->saveButton()->isEnabled());
        QTest::mouseClick(actionSheet()->saveButton(), Qt::LeftButton);
    }
    std::vector<std::string> storedTitles(const DecisionPtr& decision) { return titles(*decision); }
};

TEST_F(CommandsTest, EveryAddAndEditCommandGoesThroughItsSheetIntoTheFile) {
    open(smallTreeText());
    choose("Add Root Action");
    saveOpenFileManager();
    EXPECT_EQ(storedTitles(stored()), (std::vector<std::string>{"a", "b", "c", "openFinder"}));
    EXPECT_EQ(backupCount(), 1u);

    click(rowAt({0}));
    choose("Add Action Above");
    saveOpenFileManager();
    click(rowAt({3})); // c
    choose("Add Action Below");
    saveOpenFileManager();
    EXPECT_EQ(storedTitles(stored()), (std::vector<std::string>{"openFinder", "a", "b", "c", "openFinder", "openFinder"}));

    click(rowAt({1})); // a
    choose("Edit Action");
    ASSERT_TRUE(actionSheet());
    EXPECT_EQ(actionSheet()->kindPicker()->currentText(), "Notification");
    saveOpenFileManager();
    EXPECT_EQ(storedTitles(stored())[1], "openFinder");
    // The edited action stays selected as its replacement.
    ASSERT_TRUE(selection_->current() && selection_->current()->action());
    EXPECT_TRUE(tree().isHighlighted(rowAt({1})));

    choose("Add Root Chance");
    ASSERT_TRUE(patternSheet());
    EXPECT_EQ(patternSheet()->kindPicker()->currentText(), "Key");
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);
    ASSERT_EQ(stored()->chances.size(), 3u);
    EXPECT_EQ(stored()->chances[2]->pattern.kind, Pattern::Kind(Pattern::Kind::key{{0}}));

    const QModelIndex keyA = rowAt({7});
    ASSERT_EQ(keyA.data().toString(), "• Key: A");
    click(keyA);
    choose("Add Child Action");
    saveOpenFileManager();
    click(rowAt({7}));
    choose("Add Child Chance");
    pickKind(patternSheet()->kindPicker(), "Always Match");
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);
    click(rowAt({7}));
    choose("Add Pattern (Chance) Above");
    pickKind(patternSheet()->kindPicker(), "Message");
    QTest::keyClicks(patternSheet()->regexField(), "hello");
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);
    click(rowAt({8})); // key A, moved down by one
    choose("Add Pattern (Chance) Below");
    pickKind(patternSheet()->kindPicker(), "Always Match");
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);

    const auto root = stored();
    ASSERT_EQ(root->chances.size(), 5u);
    EXPECT_EQ(root->chances[1]->pattern.kind, Pattern::Kind(Pattern::Kind::message{"hello"}));
    EXPECT_EQ(root->chances[2]->pattern.kind, Pattern::Kind(Pattern::Kind::key{{0}}));
    EXPECT_TRUE(root->chances[3]->pattern.kind.get<Pattern::Kind::alwaysMatch>());
    const auto& childOfA = *root->chances[2]->decision;
    EXPECT_EQ(storedTitles(root->chances[2]->decision), (std::vector<std::string>{"openFinder", "openFinder"}));
    ASSERT_EQ(childOfA.chances.size(), 2u);
    EXPECT_TRUE(childOfA.chances[1]->pattern.kind.get<Pattern::Kind::alwaysMatch>());
}

TEST_F(CommandsTest, EditingAPatternKeepsTheChanceAndItsSubtree) {
    open(smallTreeText());
    const ChancePtr chance = model_->rootDecision()->chances[1];
    chance->pattern.patternDescription = "described";
    click(rowAt({4}));
    QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, centre(rowAt({4})));
    ASSERT_TRUE(patternSheet());
    EXPECT_TRUE(patternSheet()->keyPicker()->isVisible());
    EXPECT_EQ(patternSheet()->keyPicker()->currentText(), "A");
    pickKind(patternSheet()->kindPicker(), "Message");
    QTest::keyClicks(patternSheet()->regexField(), "(open");
    // The compiler's reason shows, and the expression is saved as typed.
    EXPECT_TRUE(patternSheet()->regexProblem()->isVisible());
    EXPECT_FALSE(patternSheet()->regexProblem()->text().isEmpty());
    ASSERT_TRUE(patternSheet()->saveButton()->isEnabled());
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);
    EXPECT_EQ(model_->rootDecision()->chances[1], chance);
    EXPECT_EQ(chance->pattern.kind, Pattern::Kind(Pattern::Kind::message{"(open"}));
    EXPECT_FALSE(chance->pattern.patternDescription);
    EXPECT_EQ(stored()->chances[1]->decision->chances.size(), 1u);
    // Still selected, the chance keeps its identifier.
    EXPECT_EQ(selection_->current()->chance()->chanceID, chance->id);
}

TEST_F(CommandsTest, SeveralKeysAreShownAsAListAndKept) {
    open(R"({"hotKeys": [], "decision": {"actions": [], "chances": [
      {"pattern": {"key": {"allowedKeyCodes": [0, 11]}}, "decision": {"actions": [], "chances": []}}]}})");
    click(rowAt({0}));
    choose("Edit Pattern");
    ASSERT_TRUE(patternSheet());
    EXPECT_FALSE(patternSheet()->keyPicker()->isVisible());
    EXPECT_EQ(patternSheet()->keyList()->text(), "[\"A\", \"B\"]");
    QTest::mouseClick(patternSheet()->saveButton(), Qt::LeftButton);
    EXPECT_EQ(stored()->chances[0]->pattern.kind, Pattern::Kind(Pattern::Kind::key{{0, 11}}));
}

TEST_F(CommandsTest, DeletesFromTheContextMenuClearTheSelectionAndBackUpOnce) {
    open(smallTreeText());
    click(rowAt({4}));
    triggerContextEntry("DELETE Pattern (Chance)");
    EXPECT_FALSE(selection_->current());
    EXPECT_EQ(stored()->chances.size(), 1u);
    EXPECT_EQ(backupCount(), 1u);
    EXPECT_EQ(rows().rowCount(), 4);
}

TEST_F(CommandsTest, AStaleSelectionDeletesTheItemItNames) {
    open(smallTreeText());
    click(rowAt({2})); // c
    choose("Add Action Above");
    saveOpenFileManager();
    choose("Delete Action");
    EXPECT_EQ(storedTitles(stored()), (std::vector<std::string>{"a", "b", "openFinder"}));
}

TEST_F(CommandsTest, ASheetOpenedBeforeAReloadSavesNothing) {
    open(smallTreeText());
    click(rowAt({0}));
    choose("Edit Action");
    ASSERT_TRUE(actionSheet());
    QPointer<ActionComposeSheet> sheet = actionSheet();
    model_->reloadConfigurationFile();
    const std::string before = fileText();
    const auto backups = backupCount();
    diag::Capture capture;
    pickKind(sheet->kindPicker(), "Open File Manager");
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{""}));
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(backupCount(), backups);
}

TEST_F(CommandsTest, SortAsksAndOnlyConfirmSortsEveryLevel) {
    open(R"({"hotKeys": [], "decision": {"actions": [], "chances": [
      {"pattern": {"message": {"regex": "m"}}, "decision": {"actions": [], "chances": [
        {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [], "chances": []}},
        {"pattern": {"key": {"allowedKeyCodes": [11]}}, "decision": {"actions": [], "chances": []}}]}},
      {"pattern": {"key": {"allowedKeyCodes": [0]}}, "decision": {"actions": [], "chances": []}}]}})");
    const std::string before = fileText();
    int asked = 0;
    ConfigurationWindowContentView::setSortConfirmer([&](QWidget*, std::function<void(bool)> answer) {
        ++asked;
        answer(false);
    });
    choose("Sort All > By Pattern");
    QTRY_COMPARE_WITH_TIMEOUT(asked, 1, 30000);
    EXPECT_EQ(fileText(), before);

    ConfigurationWindowContentView::setSortConfirmer([&](QWidget*, std::function<void(bool)> answer) {
        ++asked;
        answer(true);
    });
    choose("Sort All > By Pattern");
    QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 30000);
    const auto root = stored();
    EXPECT_TRUE(root->chances[0]->pattern.kind.get<Pattern::Kind::key>());
    EXPECT_TRUE(root->chances[1]->decision->chances[0]->pattern.kind.get<Pattern::Kind::key>());
    EXPECT_EQ(textAt({0}), "• Key: A");
}

// Sorting cannot be undone: Return, like Escape, leaves the tree as it is.
TEST_F(CommandsTest, TheSortQuestionCancelsByDefault) {
    open(smallTreeText());
    std::optional<bool> answer;
    view_->confirmSort([&](bool confirmed) { answer = confirmed; });
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 30000);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), "The configuration will be sorted by pattern.");
    EXPECT_EQ(box->defaultButton()->text(), "Cancel");
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 30000);
    EXPECT_FALSE(*answer);
}

TEST_F(CommandsTest, AKindNotOfferedNowIsEditedUnderABlankChoice) {
    open(R"({"hotKeys": [], "decision": {"actions": [{"continueFromInterruption": {"delay": 2}}], "chances": []}})");
    click(rowAt({0}));
    choose("Edit Action");
    ASSERT_TRUE(actionSheet());
    EXPECT_EQ(actionSheet()->kindPicker()->currentIndex(), -1);
    EXPECT_EQ(actionSheet()->currentKind(), ActionConfigurationKind::continueFromInterruption);
    ASSERT_TRUE(actionSheet()->saveButton()->isEnabled());
    QTest::mouseClick(actionSheet()->saveButton(), Qt::LeftButton);
    EXPECT_EQ(stored()->actions[0].kind, Action::Kind(Action::Kind::continueFromInterruption{2}));
}

TEST_F(CommandsTest, ALoadErrorTurnsEveryCommandIntoAnAlert) {
    AlertRecorder alerts;
    open("[]");
    choose("Add Root Action");
    ASSERT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(alerts.alerts[0].first, "Failed to execute the menu item: Add Root Action");
    EXPECT_FALSE(view_->openSheet());
}

TEST_F(CommandsTest, TheActionSheetKeepsValuesAcrossKindsAndShowsWhatItCannotEdit) {
    open(R"({"hotKeys": [], "decision": {"actions": [{"reWaitTriggerKeys": {}}, {"sleep": {}}], "chances": []}})");
    click(rowAt({0}));
    choose("Edit Action");
    ASSERT_TRUE(actionSheet());
    EXPECT_FALSE(actionSheet()->saveButton());
    EXPECT_TRUE(actionSheet()->findChild<QLabel*>() != nullptr);
    QTest::mouseClick(actionSheet()->cancelButton(), Qt::LeftButton);

    choose("Add Root Action");
    auto* sheet = actionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->kindPicker()->currentText(), "Open URL");
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    // Return does nothing while Save is disabled.
    QTest::keyClick(sheet->descriptionField(), Qt::Key_Return);
    EXPECT_EQ(view_->openSheet(), sheet);
    pickKind(sheet->kindPicker(), "Notification");
    sheet->params()[ActionConfigurationKind::notification] = actionparams::notification{"typed"};
    sheet->paramsChanged();
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    pickKind(sheet->kindPicker(), "Open URL");
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    pickKind(sheet->kindPicker(), "Notification");
    QTest::keyClicks(sheet->descriptionField(), "**hi** ![x](/dev/zero)");
    QTRY_VERIFY_WITH_TIMEOUT(sheet->descriptionPreview()->toPlainText().contains("hi"), 30000);
    EXPECT_FALSE(sheet->descriptionPreview()->toPlainText().contains("**"));
    QTest::keyClick(sheet->descriptionField(), Qt::Key_Return);
    const auto root = stored();
    ASSERT_EQ(root->actions.size(), 3u);
    EXPECT_EQ(root->actions[2].kind, Action::Kind(Action::Kind::notification{"typed"}));
    EXPECT_EQ(root->actions[2].actionDescription, "**hi** ![x](/dev/zero)");

    // A new sheet closes the open one first.
    choose("Add Root Action");
    QPointer<QDialog> first = view_->openSheet();
    choose("Add Root Chance");
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 30000);
    ASSERT_TRUE(patternSheet());
    QTest::keyClick(patternSheet(), Qt::Key_Escape);
    EXPECT_EQ(stored()->chances.size(), 0u);
}

} // namespace
} // namespace tavlin
