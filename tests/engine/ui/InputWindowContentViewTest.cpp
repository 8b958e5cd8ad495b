#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QImage>
#include <QLabel>

#include "engine/ActionStatistics.h"
#include "engine/EngineHarness.h"
#include "engine/ui/InputWindowContentView.h"
#include "model/KeyNames.h"
#include "platform/qt/QtInputWindow.h"
#include "support/QtTestApplication.h"

namespace tavlin {
namespace {

using namespace test;
using K = Action::Kind;
using CurrentStates = InputWindowManager::CurrentStates;

Action internalMethodAction() {
    return act(K::internalMethod{InternalMethodInfo{{InternalMethodInfo::MethodKind::setRequireReactivateOnce{{true}}}}});
}

class InputWindowContentViewTest : public EngineTest {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }

    // A session that waits at its root, with the hint up.
    void showHint() {
        writeConfiguration(Decision::make({}, {keyChance(0, {act(K::sleep{})})}));
        startSession();
        queue.advance(0.2);
        ASSERT_TRUE(InputWindowManager::shared().showingHint());
    }

    void show(const DecisionPtr& decision, std::vector<ActionResult> history = {}) {
        InputWindowManager::shared().setCurrentStates(CurrentStates{std::move(history), decision});
        queue.runUntilIdle();
    }

    static void setUsageCount(const Action& action, std::int64_t count) {
        const auto key = ActionStatistics::key(action);
        ASSERT_TRUE(key);
        ActionStatistics::defaults()->set(*key, count);
    }

    // Pixels of the widget painted pure blue.
    static int bluePixels(QWidget& widget) {
        const QImage image = widget.grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == QColor(Qt::blue);
        }
        return count;
    }

    static bool isEmpty(const InputWindowContentView& view) {
        return view.rowTexts().isEmpty() && !view.chancesDivider() && view.findChildren<QWidget*>().isEmpty() &&
               view.sizeHint() == QSize(0, 0) && view.minimumSizeHint() == QSize(0, 0) && view.minimumWidth() == 0;
    }
};

TEST_F(InputWindowContentViewTest, ShowsNothingUntilTheHintIsUpAndNothingAfterTheSession) {
    InputWindowContentView view;
    writeConfiguration(Decision::make({act(K::sleep{})}, {keyChance(0, {})}));
    startSession();
    ASSERT_TRUE(InputWindowManager::shared().currentStates());
    EXPECT_TRUE(isEmpty(view)) << "the session runs, but the hint is not up yet";

    queue.advance(0.2);
    ASSERT_TRUE(InputWindowManager::shared().showingHint());
    EXPECT_EQ(view.rowTexts(), QStringList({"- Sleep done.", "• " + QString::fromStdString(keyName(0)) + ":"}));
    EXPECT_EQ(view.minimumWidth(), 365);

    window.orderOut();
    queue.runUntilIdle();
    EXPECT_TRUE(isEmpty(view));
}

TEST_F(InputWindowContentViewTest, ShowsNothingWithoutStatesWhileTheHintIsUp) {
    showHint();
    InputWindowContentView view;
    ASSERT_FALSE(view.rowTexts().isEmpty());
    InputWindowManager::shared().setCurrentStates(std::nullopt);
    queue.runUntilIdle();
    EXPECT_TRUE(isEmpty(view));
}

TEST_F(InputWindowContentViewTest, FollowsEveryChangeOfTheManagerAndStopsWhenGone) {
    showHint();
    auto view = std::make_unique<InputWindowContentView>();
    show(Decision::make({act(K::sleep{})}));
    EXPECT_EQ(view->rowTexts(), QStringList({"- Sleep done."}));
    show(Decision::make({act(K::openFinder{})}, {Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make())}));
    EXPECT_EQ(view->rowTexts(), QStringList({"- Open File Manager done.", "• Always match:"}));

    // A change announced while the view goes away must not reach it, now or in a later turn.
    InputWindowManager::shared().setCurrentStates(CurrentStates{{}, Decision::make()});
    view.reset();
    queue.runUntilIdle();
    InputWindowManager::shared().setCurrentStates(std::nullopt);
    queue.runUntilIdle();
}

TEST_F(InputWindowContentViewTest, ActionRowsLeaveOutTheSessionsBookkeeping) {
    showHint();
    InputWindowContentView view;
    show(Decision::make({internalMethodAction(), act(K::reWaitTriggerKeys{})}, {keyChance(1, {})}));
    EXPECT_EQ(view.rowTexts(), QStringList({"• " + QString::fromStdString(keyName(1)) + ":"}));

    show(Decision::make({act(K::openURL{"https://example.com/", std::nullopt}), internalMethodAction(), act(K::sleep{}),
                         act(K::reWaitTriggerKeys{})}));
    EXPECT_EQ(view.rowTexts(), QStringList({"- Open URL https://example.com/ done.", "- Sleep done."}));
    ASSERT_NE(view.chancesDivider(), nullptr) << "the divider stands even without chances";
}

TEST_F(InputWindowContentViewTest, ChanceRowsNameThePatternAndTheActionsItLeadsTo) {
    showHint();
    InputWindowContentView view;
    show(Decision::make({}, {
                                keyChance(0, {}),
                                messageChance("a.*", {act(K::openFinder{}), internalMethodAction(),
                                                      Action(K::sleep{}, "Nap *briefly*"), act(K::reWaitTriggerKeys{})}),
                                Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make({act(K::switchWindow{})})),
                            }));
    EXPECT_EQ(view.rowTexts(), QStringList({
                                   "• " + QString::fromStdString(keyName(0)) + ":",
                                   "• Message (regex: \"a.*\"): Open File Manager Nap briefly",
                                   "• Always match: Switch To Recent Window",
                               }));
    EXPECT_EQ(keyName(0), "A");
    for (int row = 0; row < 3; ++row) EXPECT_EQ(view.rowOpacity(row), 1.0) << row;
    EXPECT_EQ(view.rowOpacity(3), std::nullopt);

    // An action's own description is markdown; a pattern is shown as it is written.
    bool emphasised = false;
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text().contains("briefly"))
            emphasised = label->textFormat() == Qt::RichText && label->text().contains("italic");
        if (label->text().contains("a.*")) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
    }
    EXPECT_TRUE(emphasised);
}

TEST_F(InputWindowContentViewTest, ChancesWhoseFirstActionIsWellUsedAreDimmed) {
    showHint();
    const Action first = act(K::openURL{"https://example.com/", std::nullopt});
    const Action second = act(K::sleep{});
    const auto decision = Decision::make({}, {keyChance(0, {first, second}), keyChance(1, {second})});
    InputWindowContentView view;

    setUsageCount(first, 71);
    setUsageCount(second, 1000);
    show(decision);
    EXPECT_EQ(view.rowOpacity(0), 1.0);
    EXPECT_EQ(view.rowOpacity(1), 0.6) << "its first action is the well-used one";

    // Counts are read afresh at every render.
    setUsageCount(first, 72);
    setUsageCount(second, 71);
    show(decision);
    EXPECT_EQ(view.rowOpacity(0), 0.6);
    EXPECT_EQ(view.rowOpacity(1), 1.0);
}

TEST_F(InputWindowContentViewTest, HistoryRowsShowOnlyWhenTheSettingAsks) {
    showHint();
    const auto decision = Decision::make({}, {keyChance(0, {})});
    std::vector<ActionResult> history = {
        ActionResult{{act(K::openFinder{})}, ActionResult::MatchKind::notMatchedAndNotLast{keyOutcome(0)}},
        ActionResult{{}, ActionResult::MatchKind::lastSoDontCareMatch{}},
    };
    InputWindowContentView view;
    show(decision, history);
    EXPECT_EQ(view.rowTexts().size(), 1);

    settingsStore()->set(settings::keys::shouldShowInputHistory, true);
    show(decision, history);
    // An entry's lines run on as one line.
    EXPECT_EQ(view.rowTexts(), QStringList({
                                   "> Open File Manager \"A\" typed but nothing matched.",
                                   "> No actions finished.",
                                   "• A:",
                               }));
    int dividers = 0;
    for (const QFrame* frame : view.findChildren<QFrame*>()) dividers += frame->frameShape() == QFrame::HLine;
    EXPECT_EQ(dividers, 3) << "one after each entry, one before the chances";

    int struck = 0;
    for (const QLabel* label : view.findChildren<QLabel*>()) struck += label->text().contains("line-through");
    EXPECT_EQ(struck, 2);
}

TEST_F(InputWindowContentViewTest, DividerIsBlueWhileTheHelperRuns) {
    showHint();
    InputWindowContentView view;
    view.resize(400, 200);
    show(Decision::make({}, {keyChance(0, {})}));
    ASSERT_NE(view.chancesDivider(), nullptr);
    EXPECT_EQ(bluePixels(*view.chancesDivider()), 0);

    // Asked again at every render.
    helperRunning = true;
    show(Decision::make({}, {keyChance(0, {})}));
    ASSERT_NE(view.chancesDivider(), nullptr);
    EXPECT_GT(bluePixels(*view.chancesDivider()), 0);
}

TEST_F(InputWindowContentViewTest, PaintsARoundedBackgroundInAFixedPitchFont) {
    showHint();
    InputWindowContentView view;
    show(Decision::make({}, {keyChance(0, {})}));
    view.resize(view.sizeHint());
    // As the user sees it: fonts differ in whether they call themselves fixed-pitch.
    const QFontMetricsF metrics(view.font());
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_EQ(view.font().pointSizeF(), QApplication::font().pointSizeF());

    // Only what the view paints itself: the window around it is translucent.
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner is rounded off";
    EXPECT_EQ(image.pixelColor(view.width() / 2, view.height() - 2), view.palette().color(QPalette::Window));

    InputWindowManager::shared().setCurrentStates(std::nullopt);
    queue.runUntilIdle();
    view.resize(50, 50);
    image = QImage(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(qAlpha(image.pixel(25, 25)), 0) << "nothing is painted while empty";
}

// A screen reader meets the session as a window named for the leader key that opened it.
TEST_F(InputWindowContentViewTest, TheSessionWindowIsAnnouncedByItsLeaderKey) {
    qt::QtInputWindow window;
    window.setContent(new InputWindowContentView());
    currentLeaderKey() = HotKey::singleModifier(HotKey::SingleTapModifier::command);
    window.makeKeyAndOrderFront();
    QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(&window);
    ASSERT_TRUE(announced);
    EXPECT_EQ(announced->role(), QAccessible::Window);
    EXPECT_EQ(announced->text(QAccessible::Name), "Key sequence: Super");
    window.orderOut();
    currentLeaderKey().reset();
}

} // namespace
} // namespace tavlin
