#include <gtest/gtest.h>

#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include "actionediting/ConfigurationLeaderKeyView.h"
#include "configwindow/ConfigurationAddHotKeySheet.h"
#include "configwindow/ConfigurationHotKeyRow.h"
#include "configwindow/ContentViewHarness.h"
#include "configwindow/LeaderKeyColumn.h"
#include "configwindow/PatternComposeSheet.h"
#include "support/Accessible.h"

namespace tavlin {
namespace {

using namespace test;

// The configuration window as a screen reader walks it.
using ScreenReaderTest = ContentViewTest;

TEST_F(ScreenReaderTest, TheTreesChildrenAreItsRowsInTheOrderShown) {
    open(smallTreeText());
    QAccessibleInterface* rowList = accessible(&tree());
    int position = 0;
    for (QModelIndex index = rowAt({0}); index.isValid(); index = tree().indexBelow(index), ++position) {
        QAccessibleInterface* row = rowList->child(position);
        ASSERT_TRUE(row) << position;
        EXPECT_EQ(row->text(QAccessible::Name), index.data(Qt::AccessibleTextRole).toString());
        EXPECT_EQ(rowList->indexOfChild(row), position);
    }
    EXPECT_EQ(rowList->childCount(), position);
    // A collapsed chance takes its rows out.
    tree().collapse(rowAt({4}));
    EXPECT_EQ(rowList->childCount(), position - rows().rowCount(rowAt({4})));
    EXPECT_FALSE(rowList->child(4)->state().expanded);
}

TEST_F(ScreenReaderTest, AnInvalidExpressionIsExplainedInWordsAndInFull) {
    open(smallTreeText());
    choose("Add Root Chance");
    auto* sheet = dynamic_cast<PatternComposeSheet*>(view_->openSheet());
    ASSERT_TRUE(sheet);
    sheet->kindPicker()->setCurrentIndex(sheet->kindPicker()->findText("Message"));
    QTest::keyClicks(sheet->regexField(), "(open");
    QLabel* problem = sheet->regexProblem();
    EXPECT_TRUE(problem->text().contains("a parenthesis is not closed")) << problem->text().toStdString();
    EXPECT_EQ(accessible(problem)->text(QAccessible::Name), problem->text());
    EXPECT_EQ(accessible(sheet->regexField())->text(QAccessible::Description), problem->text());
    // All of its lines shown.
    EXPECT_GE(problem->height(), problem->heightForWidth(problem->width()));
    QTest::keyClicks(sheet->regexField(), ")");
    EXPECT_FALSE(problem->isVisible());
}

TEST_F(ScreenReaderTest, TheFourModifiersAreRadioButtons) {
    ConfigurationLeaderKeyView editor(shortcutkit::Name("t"), HotKey::singleModifier(HotKey::SingleTapModifier::shift), nullptr,
                                      nullptr);
    for (const auto modifier : allSingleTapModifiers) {
        EXPECT_EQ(accessible(editor.modifierButton(modifier))->role(), QAccessible::RadioButton);
        EXPECT_EQ(accessible(editor.modifierButton(modifier))->state().checked, modifier == HotKey::SingleTapModifier::shift);
    }
}

TEST_F(ScreenReaderTest, LeaderKeysAreListItemsAndClickToAddMoreIsAButtonThatPresses) {
    open(R"({"hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}},
                          {"combo": {"info": {"keyCode": 11, "modifiersCode": 6144}}}],
             "decision": {"actions": [], "chances": []}})");
    LeaderKeyColumn* column = nullptr;
    for (QWidget* widget : view_->findChildren<QWidget*>())
        if (auto* found = dynamic_cast<LeaderKeyColumn*>(widget)) column = found;
    ASSERT_TRUE(column);
    ASSERT_EQ(column->rows().size(), 2u);
    for (ConfigurationHotKeyRow* row : column->rows()) {
        EXPECT_EQ(accessible(row)->role(), QAccessible::ListItem);
        EXPECT_EQ(accessible(row)->text(QAccessible::Name), row->textLabel()->text());
    }
    QAccessibleInterface* addMore = accessible(column->addMoreLabel());
    EXPECT_EQ(addMore->role(), QAccessible::Button);
    EXPECT_EQ(addMore->text(QAccessible::Name), "Click to add more");
    ASSERT_TRUE(addMore->actionInterface());
    addMore->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(column->addSheet());
}

} // namespace
} // namespace tavlin
