#include <gtest/gtest.h>

#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include "actionediting/ConfigurationLeaderKeyView.h"
#include "configwindow/ContentViewHarness.h"
#include "configwindow/PatternComposeSheet.h"
#include "support/Accessible.h"

namespace tavlin {
namespace {

using namespace test;

// The configuration window as a screen reader walks it: the tree, its sheets, the leader key.
class ScreenReaderTest : public ContentViewTest {
protected:
    template <class Sheet>
    Sheet* sheet() {
        return dynamic_cast<Sheet*>(view_->openSheet());
    }
    static void pick(QComboBox* picker, const QString& title) {
        ASSERT_GE(picker->findText(title), 0) << title.toStdString();
        picker->setCurrentIndex(picker->findText(title));
    }
};

TEST_F(ScreenReaderTest, TheTreesChildrenAreItsRowsInTheOrderShown) {
    open(smallTreeText());
    QAccessibleInterface* treeAccessible = accessible(&tree());
    std::vector<QModelIndex> shown;
    for (QModelIndex index = rowAt({0}); index.isValid(); index = tree().indexBelow(index)) shown.push_back(index);
    ASSERT_EQ(treeAccessible->childCount(), static_cast<int>(shown.size()));
    for (int i = 0; i < treeAccessible->childCount(); ++i) {
        QAccessibleInterface* row = treeAccessible->child(i);
        EXPECT_EQ(row->role(), QAccessible::TreeItem) << i;
        EXPECT_EQ(row->text(QAccessible::Name), shown[i].data(Qt::AccessibleTextRole).toString()) << i;
        EXPECT_EQ(treeAccessible->indexOfChild(row), i);
        EXPECT_EQ(row->parent(), treeAccessible);
    }
    // A collapsed chance takes its rows out; the rows after it move up.
    const QModelIndex chance = rowAt({4});
    ASSERT_TRUE(tree().isExpanded(chance));
    const int before = treeAccessible->childCount();
    tree().collapse(chance);
    EXPECT_FALSE(treeAccessible->child(4)->state().expanded);
    EXPECT_TRUE(treeAccessible->child(4)->state().expandable);
    EXPECT_EQ(treeAccessible->childCount(), before - rows().rowCount(chance));
}

TEST_F(ScreenReaderTest, AnInvalidExpressionIsExplainedInWordsAndInFull) {
    open(smallTreeText());
    choose("Add Root Chance");
    auto* patternSheet = sheet<PatternComposeSheet>();
    ASSERT_TRUE(patternSheet);
    EXPECT_EQ(labelNames(patternSheet->kindPicker()), QStringList{"Kind: "});
    EXPECT_EQ(labelNames(patternSheet->keyPicker()), QStringList{"Key: "});
    pick(patternSheet->kindPicker(), "Message");
    QTest::keyClicks(patternSheet->regexField(), "(open");
    QLabel* problem = patternSheet->regexProblem();
    ASSERT_TRUE(problem->isVisible());
    EXPECT_TRUE(problem->text().contains("a parenthesis is not closed")) << problem->text().toStdString();
    EXPECT_FALSE(problem->text().contains("U_REGEX"));
    EXPECT_EQ(accessible(problem)->text(QAccessible::Name), problem->text());
    EXPECT_EQ(accessible(patternSheet->regexField())->text(QAccessible::Description), problem->text());
    // All of its lines within the sheet.
    EXPECT_GE(problem->height(), problem->heightForWidth(problem->width()));
    EXPECT_TRUE(patternSheet->rect().contains(QRect(problem->mapTo(patternSheet, QPoint()), problem->size())));

    QTest::keyClicks(patternSheet->regexField(), ")");
    EXPECT_FALSE(problem->isVisible());
    EXPECT_FALSE(accessible(patternSheet->regexField())->text(QAccessible::Description).contains("invalid"));
}

TEST_F(ScreenReaderTest, TheFourModifiersAreRadioButtons) {
    ConfigurationLeaderKeyView editor(shortcutkit::Name("t"), HotKey::singleModifier(HotKey::SingleTapModifier::shift), nullptr,
                                      nullptr);
    editor.show();
    for (const auto modifier : allSingleTapModifiers) {
        QAccessibleInterface* button = accessible(editor.modifierButton(modifier));
        EXPECT_EQ(button->role(), QAccessible::RadioButton);
        EXPECT_EQ(button->state().checked, modifier == HotKey::SingleTapModifier::shift);
    }
}

} // namespace
} // namespace tavlin
