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
    // The widgets Tab stops on, from the first, once round.
    std::vector<QWidget*> tabStops() {
        std::vector<QWidget*> stops;
        for (int step = 0; step < 40; ++step) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view_.get(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            if (!focused || (!stops.empty() && focused == stops.front())) break;
            stops.push_back(focused);
        }
        return stops;
    }
    void tabTo(QWidget* target) {
        for (int step = 0; step < 40 && QApplication::focusWidget() != target; ++step)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view_.get(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), target);
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

    const std::vector<QWidget*> blocks{&column(), view_->decisionBorderToggle(), &tree(), view_->openFileButton(),
                                       view_->reloadFileButton()};
    const auto blockOf = [&](QWidget* widget) {
        for (std::size_t b = 0; b < blocks.size(); ++b)
            if (widget == blocks[b] || blocks[b]->isAncestorOf(widget)) return static_cast<int>(b);
        return -1;
    };
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    const auto stops = tabStops();
    const auto blockOrder = [&](const std::vector<QWidget*>& widgets) {
        std::vector<int> order;
        for (QWidget* widget : widgets)
            if (order.empty() || order.back() != blockOf(widget)) order.push_back(blockOf(widget));
        return order;
    };
    EXPECT_EQ(blockOrder(stops), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_NE(std::find(stops.begin(), stops.end(), static_cast<QWidget*>(column().rows()[1])), stops.end());
    // "Click to add more" is the column's last stop, after its rows.
    const auto addMore = std::find(stops.begin(), stops.end(), column().addMoreLabel());
    ASSERT_NE(addMore, stops.end());
    EXPECT_EQ(blockOf(*std::next(addMore)), 1);

    // Each of these looks different while it has the focus.
    for (QWidget* widget : {static_cast<QWidget*>(&tree()), static_cast<QWidget*>(column().addMoreLabel()),
                            static_cast<QWidget*>(view_->openFileButton()), static_cast<QWidget*>(view_->reloadFileButton())}) {
        tabTo(widget);
        const QImage focused = widget->grab().toImage();
        blocks[1]->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(widget->grab().toImage() != focused) << widget->accessibleName().toStdString();
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
