#include <gtest/gtest.h>

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtGui/QTextDocument>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStackedWidget>

#include "configwindow/ContentViewHarness.h"
#include "model/LaidOutText.h"
#include "model/Settings.h"
#include "platform/text/PeopleWords.h"
#include "support/PaintRecorder.h"

namespace tavlin {
namespace {

using namespace test;

using ContentViewPagesTest = ContentViewTest;

TEST_F(ContentViewPagesTest, TheThreePagesFollowTheModel) {
    open(R"({"authorInfo": "made from flat_rows here", "hotKeys": [], "decision": {"actions": [], "chances": []}})");
    EXPECT_EQ(view_->pages()->currentWidget(), view_->flatEditorPage());
    EXPECT_FALSE(view_->bottomBar()->isVisible());
}

// The tree editor of a generated configuration, hidden behind the flat list, is neither made nor
// exposed to screen readers, until it is shown.
TEST_F(ContentViewPagesTest, TheTreeEditorIsMadeWhenFirstShown) {
    std::string generated = smallTreeText();
    generated.insert(generated.find('{') + 1, R"("authorInfo": "flat_rows",)");
    open(generated);
    EXPECT_EQ(view_->pages()->currentWidget(), view_->flatEditorPage());
    EXPECT_FALSE(view_->treeView());
    EXPECT_TRUE(view_->treePage()->findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(stored(), model_->rootDecision());

    writeFile(configurationFile(), smallTreeText());
    model_->reloadConfigurationFile();
    ASSERT_EQ(view_->pages()->currentWidget(), view_->treePage());
    ASSERT_TRUE(view_->treeView());
    EXPECT_EQ(textAt({0}), "- Notification (title: \"a\")");
    EXPECT_EQ(textAt({4, 1}), "• Key: B");
    EXPECT_TRUE(tree().isExpanded(rowAt({4})));
    EXPECT_NE(stored(), model_->rootDecision()); // edited in place, so no longer shared
}

// Likewise the flat list behind a tree: made once, when a generated configuration shows it.
TEST_F(ContentViewPagesTest, TheFlatEditorIsMadeWhenFirstShown) {
    int made = 0;
    const auto maker = [&made](QWidget* page) {
        ++made;
        return new QLabel(QStringLiteral("flat list"), page);
    };
    open(smallTreeText());
    view_->setFlatEditorMaker(maker);
    EXPECT_EQ(made, 0);

    std::string generated = smallTreeText();
    generated.insert(generated.find('{') + 1, R"("authorInfo": "flat_rows",)");
    writeFile(configurationFile(), generated);
    model_->reloadConfigurationFile();
    ASSERT_EQ(view_->pages()->currentWidget(), view_->flatEditorPage());
    const auto shown = view_->flatEditorPage()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(shown.size(), 1); // in place of the page's own content
    EXPECT_EQ(shown.front()->text(), QStringLiteral("flat list"));
    model_->reloadConfigurationFile();
    EXPECT_EQ(made, 1);
}

TEST_F(ContentViewPagesTest, AWindowOpenedOnTheFlatListMakesItAtOnce) {
    open(R"({"authorInfo": "flat_rows", "hotKeys": [], "decision": {"actions": [], "chances": []}})");
    QWidget* made = nullptr;
    view_->setFlatEditorMaker([&made](QWidget* page) { return made = new QWidget(page); });
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->parentWidget(), view_->flatEditorPage());
}

// Sessions load the window's decoded tree, shown or not, until the window edits it; the window
// keeps its own tree across the edit and sessions then load the saved one.
TEST_F(ContentViewPagesTest, SessionsShareTheShownTreeUntilItIsEdited) {
    open(smallTreeText());
    ASSERT_TRUE(view_->treeView());
    const auto root = model_->rootDecision();
    EXPECT_EQ(stored(), root);

    model_->applyChange([&] { root->actions.pop_back(); });
    EXPECT_EQ(model_->rootDecision(), root);
    const auto saved = stored();
    EXPECT_NE(saved, root);
    EXPECT_EQ(titles(*saved), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ContentViewPagesTest, ABrokenFileShowsItsErrorWithUsableFileButtonsAndIsLeftAlone) {
    AlertRecorder alerts;
    open("{}");
    EXPECT_EQ(view_->pages()->currentWidget(), view_->errorPage());
    EXPECT_FALSE(view_->errorLabel()->text().isEmpty());
    EXPECT_TRUE(view_->errorLabel()->wordWrap());
    ASSERT_TRUE(view_->bottomBar()->isVisible());
    EXPECT_TRUE(view_->openFileButton()->isEnabled());
    EXPECT_FALSE(view_->makeContextMenu());

    QTest::mouseClick(view_->openFileButton(), Qt::LeftButton);
    ASSERT_EQ(workspace_.openedURLs.size(), 1u);
    // The folder is opened, never the file itself.
    EXPECT_EQ(workspace_.openedURLs[0], "file://" + configurationFile().parent_path().string() + "/");

    // Reload of a file still broken: the file untouched, and no save to report.
    QTest::mouseClick(view_->reloadFileButton(), Qt::LeftButton);
    EXPECT_EQ(fileText(), "{}");
    EXPECT_TRUE(alerts.alerts.empty());

    writeFile(configurationFile(), smallTreeText());
    QTest::mouseClick(view_->reloadFileButton(), Qt::LeftButton);
    EXPECT_EQ(view_->pages()->currentWidget(), view_->treePage());
    EXPECT_EQ(textAt({0}), "- Notification (title: \"a\")");
}

TEST_F(ContentViewPagesTest, AnEmptyTreeOffersTheSampleWhichFillsItAgainAndAgain) {
    open(R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})");
    ASSERT_TRUE(view_->loadSampleButton()->isVisible());
    ASSERT_TRUE(view_->makeContextMenu()); // still there for the root commands
    QTest::mouseClick(view_->loadSampleButton(), Qt::LeftButton);
    EXPECT_TRUE(tree().isVisible());
    EXPECT_GT(rows().rowCount(), 0);
    model_->applyChange([&] {
        model_->rootDecision()->actions.clear();
        model_->rootDecision()->chances.clear();
    });
    ASSERT_TRUE(view_->loadSampleButton()->isVisible());
    QTest::mouseClick(view_->loadSampleButton(), Qt::LeftButton);
    EXPECT_GT(stored()->chances.size(), 0u);
}

using TreeViewTest = ContentViewTest;

TEST_F(TreeViewTest, RowsInOrderIndentedPerLevel) {
    open(smallTreeText());
    EXPECT_EQ(textAt({0}), "- Notification (title: \"a\")");
    EXPECT_EQ(textAt({2}), "- Notification (title: \"c\")");
    EXPECT_EQ(textAt({3}), "• Message (regex: \"m\")");
    EXPECT_EQ(textAt({4}), "• Key: A");
    EXPECT_EQ(textAt({4, 0}), "- Open File Manager");
    EXPECT_EQ(textAt({4, 1}), "• Key: B");
    EXPECT_EQ(rowAt({4, 1}).data(Qt::AccessibleTextRole).toString(), "• Key: B");
    EXPECT_EQ(tree().visualRect(rowAt({4, 0})).left() - tree().visualRect(rowAt({4})).left(), 20);
    // Every chance starts expanded.
    EXPECT_TRUE(tree().isExpanded(rowAt({4})));
}

// An application reads by the name the installed entries give, once they tell it; the tool tip
// keeps the path.
TEST_F(TreeViewTest, ApplicationsReadByNameOnceTheEntriesAreReadWithThePathInTheToolTip) {
    open(R"({"hotKeys": [], "decision": {"actions": [
      {"openApp": {"path": "/usr/share/applications/debian-uxterm.desktop", "hideAppIfRunning": false}}
    ], "chances": []}})");
    EXPECT_EQ(textAt({0}), "- Open App debian-uxterm");
    words::setApplicationNameSource([](const std::string&) { return std::optional<std::string>("UXTerm"); });
    words::applicationNamesChanged();
    EXPECT_EQ(textAt({0}), "- Open App UXTerm");
    EXPECT_EQ(rowAt({0}).data(Qt::ToolTipRole).toString(), "- Open App UXTerm\n/usr/share/applications/debian-uxterm.desktop");
}

TEST_F(TreeViewTest, ClicksSelectRightClicksDoNotAndBlankSpaceClears) {
    open(smallTreeText());
    click(rowAt({4}));
    ASSERT_TRUE(selection_->current() && selection_->current()->chance());
    // The chance's whole block is highlighted, nothing else.
    EXPECT_TRUE(tree().isHighlighted(rowAt({4})));
    EXPECT_TRUE(tree().isHighlighted(rowAt({4, 1})));
    EXPECT_FALSE(tree().isHighlighted(rowAt({3})));
    EXPECT_EQ(view_->nodeEditMenuEntries()[9].enabled, true); // "Edit Pattern"

    click(rowAt({1}), Qt::RightButton);
    EXPECT_TRUE(selection_->current()->chance());

    click(rowAt({1}));
    ASSERT_TRUE(selection_->current()->action());
    EXPECT_EQ(titleOf(selection_->current()->action()->action), "b");
    EXPECT_TRUE(tree().isHighlighted(rowAt({1})));
    EXPECT_FALSE(tree().isHighlighted(rowAt({0})));

    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, QPoint(10, tree().viewport()->height() - 5));
    EXPECT_FALSE(selection_->current());
    std::unique_ptr<QMenu> menu(view_->makeContextMenu());
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), "Root");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
}

TEST_F(TreeViewTest, TheArrowTogglesWithoutSelectingAndExpansionSurvivesAnEdit) {
    open(smallTreeText());
    const QModelIndex keyA = rowAt({4});
    const QRect rect = tree().visualRect(keyA);
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, QPoint(rect.left() - 10, rect.center().y()));
    EXPECT_FALSE(tree().isExpanded(keyA));
    EXPECT_FALSE(selection_->current());

    click(rowAt({0}));
    triggerContextEntry("DELETE Action");
    EXPECT_FALSE(tree().isExpanded(rowAt({3})));
    EXPECT_EQ(textAt({3}), "• Key: A");
}

TEST_F(TreeViewTest, KeysMoveTheSelectionFoldAndOpenButNeverDelete) {
    open(smallTreeText());
    tree().setFocus();
    click(rowAt({0}));
    QTest::keyClick(&tree(), Qt::Key_Down);
    EXPECT_EQ(titleOf(selection_->current()->action()->action), "b");
    QTest::keyClick(&tree(), Qt::Key_End);
    EXPECT_EQ(DecisionTreeRows::chanceText(*rows().row(rowAt({4, 1}))->chance), "• Key: B");
    EXPECT_EQ(selection_->current()->chance()->chanceID, rows().row(rowAt({4, 1}))->chance->id);
    QTest::keyClick(&tree(), Qt::Key_Home);
    QTest::keyClick(&tree(), Qt::Key_Delete);
    QTest::keyClick(&tree(), Qt::Key_Backspace);
    EXPECT_EQ(model_->rootDecision()->actions.size(), 3u);
    EXPECT_EQ(titleOf(selection_->current()->action()->action), "a");

    click(rowAt({4}));
    QTest::keyClick(&tree(), Qt::Key_Left);
    EXPECT_FALSE(tree().isExpanded(rowAt({4})));
    QTest::keyClick(&tree(), Qt::Key_Right);
    EXPECT_TRUE(tree().isExpanded(rowAt({4})));

    QTest::keyClick(&tree(), Qt::Key_Return);
    ASSERT_TRUE(view_->openSheet());
    EXPECT_EQ(view_->openSheet()->windowTitle(), "Pattern");
}

TEST_F(TreeViewTest, TheMenuKeyAndShiftF10OpenTheContextMenuOfTheSelection) {
    open(smallTreeText());
    click(rowAt({1}));
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()}, std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        QTest::keyClick(&tree(), key, modifiers);
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr, 30000);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_EQ(menu->actions()[0]->text(), "- Notification (title: \"b\")");
        EXPECT_FALSE(menu->actions()[0]->isEnabled());
        EXPECT_EQ(menu->actions().back()->text(), "DELETE Action");
        menu->close();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() == nullptr, 30000);
    }
    // Still the same row: opening the menu selects nothing.
    EXPECT_EQ(titleOf(selection_->current()->action()->action), "b");
}

TEST_F(TreeViewTest, BordersFollowTheSettingWhereverItChanges) {
    open(smallTreeText());
    EXPECT_FALSE(tree().showDecisionBorder());
    view_->decisionBorderToggle()->click();
    EXPECT_TRUE(settings::showDecisionBorder());
    EXPECT_TRUE(tree().showDecisionBorder());
    settings::appGroupStore()->set(settings::keys::showDecisionBorder, false);
    EXPECT_FALSE(view_->decisionBorderToggle()->isChecked());
    EXPECT_FALSE(tree().showDecisionBorder());

    // Drawn in the border blue when on.
    settings::appGroupStore()->set(settings::keys::showDecisionBorder, true);
    const QImage image = tree().viewport()->grab().toImage();
    bool blue = false;
    for (int y = 0; y < image.height() && !blue; ++y) blue = image.pixelColor(0, y) == QColor(0, 122, 255);
    EXPECT_TRUE(blue);
}

TEST_F(TreeViewTest, DescriptionsLoadNothingAndStayOneLine) {
    const std::string huge(100000, 'x');
    open(R"({"hotKeys": [], "decision": {"actions": [
      {"sleep": {}, "description": "![a](/dev/zero) <img src=\"/dev/zero\"> <script>x()</script> [link](file:///etc/passwd) **bold**"},
      {"sleep": {}, "description": "line one\n\nline two"},
      {"sleep": {}, "description": ")" +
         huge + R"("},
      {"sleep": {}, "description": "**bold** and _more_"}
    ], "chances": []}})");
    EXPECT_EQ(textAt({1}), "- line one line two");
    EXPECT_FALSE(textAt({0}).contains("<script>"));
    EXPECT_EQ(textAt({3}), "- bold and more");
    const int height = tree().visualRect(rowAt({3})).height();
    for (int row = 0; row < 3; ++row) EXPECT_EQ(tree().visualRect(rowAt({row})).height(), height);
    // Painting renders them; nothing is read from /dev/zero (that would never end).
    tree().viewport()->grab();
    click(rowAt({0}));
    QTest::keyClick(&tree(), Qt::Key_Return);
    ASSERT_TRUE(view_->openSheet());
}

TEST_F(TreeViewTest, DescriptionsCutShortEndInAnEllipsisAsPlainTextsDo) {
    open(R"({"hotKeys": [], "decision": {"actions": [{"sleep": {}, "description": "**Bold** )" + std::string(900, 'w') +
         R"("}, {"sleep": {}, "description": "one\n\ntwo"}, {"sleep": {}, "description": "**bold**"}], "chances": []}})");
    PaintRecorder painted(tree().viewport()->size());
    tree().viewport()->render(&painted);
    for (int row : {0, 1, 2}) EXPECT_EQ(painted.textIn(tree().visualRect(rowAt({row}))).endsWith(QChar(0x2026)), row < 2) << row;
}

TEST_F(TreeViewTest, ALongTextIsLaidOutOnlyAsFarAsARowShows) {
    // Two-byte letters: a cut inside one would show as a replacement character.
    std::string letters;
    for (int i = 0; i < 500000; ++i) letters += "é";
    open(R"({"hotKeys": [], "decision": {"actions": [{"sleep": {}, "description": "**)" + letters + R"(**"}],
      "chances": [{"pattern": {"message": {"regex": ")" +
         letters + R"("}}, "decision": {"actions": [], "chances": []}}]}})");
    const auto limit = static_cast<qsizetype>(laidOutTextLimit);
    EXPECT_LE(rows().descriptionDocument(rowAt({0}))->characterCount(), limit);
    for (int row : {0, 1}) {
        EXPECT_LE(textAt({row}).size(), limit + 2);
        EXPECT_TRUE(textAt({row}).contains(QStringLiteral("éé")));
        EXPECT_FALSE(textAt({row}).contains(QChar::ReplacementCharacter));
    }
}

TEST_F(TreeViewTest, TheQuitLinkShowsWithTheDockIconHiddenAndEndsTheLoopWithZero) {
    open(smallTreeText());
    EXPECT_FALSE(view_->quitButton()->isVisible());
    settings::appGroupStore()->set(settings::keys::hideDockIcon, true);
    ASSERT_TRUE(view_->quitButton()->isVisible());
    EXPECT_TRUE(view_->quitButton()->text().startsWith("Quit "));
    QEventLoop loop;
    QTimer::singleShot(0, view_->quitButton(), [this] { view_->quitButton()->click(); });
    QTimer::singleShot(30000, &loop, [&loop] { loop.exit(1); });
    EXPECT_EQ(loop.exec(), 0);
}

TEST_F(TreeViewTest, AVeryDeepTreeOpensAndScrolls) {
    open(R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})");
    auto deep = Decision::make();
    auto decision = deep;
    for (int level = 0; level < 250; ++level) {
        auto child = Decision::make({Action(Action::Kind::sleep{})});
        decision->chances.push_back(Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), child));
        decision = child;
    }
    model_->applyChange([&] { model_->configuration()->decision = deep; });
    tree().setFocus();
    click(rowAt({0}));
    QTest::keyClick(&tree(), Qt::Key_End);
    EXPECT_GT(tree().verticalScrollBar()->value(), 0);
    EXPECT_TRUE(selection_->current() && selection_->current()->action());
    tree().viewport()->grab();
}

} // namespace
} // namespace tavlin
