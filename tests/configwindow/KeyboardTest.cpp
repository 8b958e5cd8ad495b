// The configuration window's tree page by keyboard alone: the Tab order, the focus shown on
// every stop, and the arrows in the tree.

#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include "configwindow/ConfigurationHotKeyRow.h"
#include "configwindow/ContentViewHarness.h"
#include "configwindow/LeaderKeyColumn.h"

namespace tavlin {
namespace {

using namespace test;

// One leader key (its editor, then "Click to add more"), three actions and a chance.
const char* treeWithOneLeaderKey = R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [{"notification": {"title": "a"}}, {"notification": {"title": "b"}},
                           {"notification": {"title": "c"}}],
               "chances": [{"pattern": {"key": {"allowedKeyCodes": [0]}},
                            "decision": {"actions": [{"openFinder": {}}], "chances": []}}]}})";

class KeyboardTest : public ContentViewTest {
protected:
    void openActive(const std::string& text) {
        open(text);
        view_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
        QTest::qWait(0); // the window opens with nothing focused
    }
    std::optional<std::string> selectedTitle() {
        const auto& current = selection_->current();
        if (!current || !current->action()) return std::nullopt;
        return titleOf(current->action()->action);
    }
    LeaderKeyColumn& column() {
        for (QWidget* widget : view_->findChildren<QWidget*>())
            if (auto* found = dynamic_cast<LeaderKeyColumn*>(widget)) return *found;
        throw std::logic_error("no leader-key column");
    }
};

TEST_F(KeyboardTest, TabFollowsTheLayoutAndEveryStopShowsTheFocus) {
    openActive(treeWithOneLeaderKey);
    // A second leader key makes the column's rows anew, after every other widget was made.
    model_->applyChange([&] { model_->configuration()->hotKeys.push_back(HotKey::combo(11, 6144)); });
    ASSERT_EQ(column().rows().size(), 2u);
    QCoreApplication::processEvents();                                   // the rows show
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the single editor goes

    // Once round by Tab from nothing focused, each stop as it looks while it has the focus.
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    std::vector<QWidget*> stops;
    std::vector<QImage> looks;
    for (int step = 0; step < 40; ++step) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view_.get(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        if (!focused || (!stops.empty() && focused == stops.front())) break;
        stops.push_back(focused);
        looks.push_back(focused->grab().toImage());
    }

    // The column (its rows, then "Click to add more"), the border toggle, the tree, the links.
    const std::vector<QWidget*> blocks{&column(), view_->decisionBorderToggle(), &tree(), view_->openFileButton(),
                                       view_->reloadFileButton()};
    std::vector<int> order;
    for (QWidget* stop : stops) {
        int block = 0;
        while (block < 5 && stop != blocks[block] && !blocks[block]->isAncestorOf(stop)) ++block;
        if (order.empty() || order.back() != block) order.push_back(block);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    const auto at = [&](QWidget* widget) { return std::find(stops.begin(), stops.end(), widget) - stops.begin(); };
    EXPECT_LT(at(column().rows()[1]), at(column().addMoreLabel()));
    EXPECT_EQ(at(column().addMoreLabel()) + 1, at(view_->decisionBorderToggle()));

    // Focus has gone back to the first stop: these look different without it.
    for (QWidget* widget : {static_cast<QWidget*>(&tree()), static_cast<QWidget*>(column().addMoreLabel()),
                            static_cast<QWidget*>(view_->openFileButton()), static_cast<QWidget*>(view_->reloadFileButton())}) {
        ASSERT_LT(at(widget), static_cast<long>(looks.size()));
        EXPECT_TRUE(widget->grab().toImage() != looks[static_cast<std::size_t>(at(widget))])
            << widget->accessibleName().toStdString();
    }
}

TEST_F(KeyboardTest, TheArrowsStartAtTheFirstRowAndKeysActOnTheHighlightedOne) {
    openActive(treeWithOneLeaderKey);
    // As Tab gives it (the recorder on the way reads keys by their native codes, which QTest has not).
    tree().setFocus(Qt::TabFocusReason);
    // Return before any row is highlighted edits nothing.
    QTest::keyClick(&tree(), Qt::Key_Return);
    EXPECT_FALSE(view_->findChild<QDialog*>());
    QTest::keyClick(&tree(), Qt::Key_Down);
    EXPECT_EQ(selectedTitle(), "a");
    QTest::keyClick(&tree(), Qt::Key_Down);
    EXPECT_EQ(selectedTitle(), "b");

    // A selection made elsewhere (a click, a command) is where the next move starts.
    selection_->selectAction(rows().row(rowAt({2}))->action().id);
    QTest::keyClick(&tree(), Qt::Key_Up);
    EXPECT_EQ(selectedTitle(), "b");
    selection_->clear();
    QTest::keyClick(&tree(), Qt::Key_End);
    EXPECT_EQ(selectedTitle(), "openFinder");
}

} // namespace
} // namespace tavlin
