#include <gtest/gtest.h>

#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>
#include <QtGui/QImage>

#include "configwindow/ContentViewHarness.h"
#include "configwindow/core/DragPayload.h"
#include "platform/qt/DropData.h"

namespace tavlin {
namespace {

using namespace test;
using DropTargeting::InsertPosition;

QString format(std::string_view type) { return QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())); }

// 100 MB another program offers, announced as such: refused before any of it is handed over, as
// the reader of drops does. Counts the bytes taken from it.
class HugeForeignPayload final : public SizedMimeData {
public:
    mutable qint64 handedOver = 0;
    QStringList formats() const override { return {format(DragPayload::actionType)}; }
    DropPayload read(const QString&, qint64 limit) const override {
        if (size > limit) return {{}, true};
        handedOver += size;
        return {QByteArray(size, 'p')};
    }

protected:
    QVariant retrieveData(const QString&, QMetaType) const override {
        handedOver += size;
        return QByteArray();
    }

private:
    static constexpr qint64 size = qint64{100} << 20;
};

class DragDropTest : public ContentViewTest {
protected:
    void SetUp() override {
        ContentViewTest::SetUp();
        open(dropTreeText());
        // The zones lie 10 and 30 into a row: rows must be taller than that whatever the fonts.
        QFont font = tree().font();
        font.setPixelSize(24);
        tree().setFont(font);
        tree().doItemsLayout();
        ASSERT_GT(tree().visualRect(rowAt({0})).height(), 20);
    }

    Decision& root() { return *model_->rootDecision(); }
    std::unique_ptr<QMimeData> payload(const Action& action) {
        auto data = std::make_unique<QMimeData>();
        data->setData(format(DragPayload::actionType),
                      QByteArray::fromStdString(DragPayload::writeAction(action, DragPayload::actionType)));
        return data;
    }
    std::unique_ptr<QMimeData> payload(const Chance& chance) {
        auto data = std::make_unique<QMimeData>();
        data->setData(format(DragPayload::chanceType),
                      QByteArray::fromStdString(DragPayload::writeChance(chance, DragPayload::chanceType)));
        return data;
    }
    // A point in a row's own coordinates: from its leading edge (a chance's arrow) and its top.
    QPointF at(const QModelIndex& index, double x, double y) {
        const QRect rect = tree().visualRect(index);
        return QPointF(rect.left() - tree().indentation() + x, rect.top() + y);
    }
    // Enters and moves to `position`; answers whether the move was taken, and with what action.
    std::optional<Qt::DropAction> hover(const QMimeData& data, QPointF position, Qt::KeyboardModifiers modifiers = {}) {
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(position.toPoint(), actions, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(tree().viewport(), &enter);
        // As Qt does, a view that refused the drag on entry gets no moves.
        if (!enter.isAccepted()) return std::nullopt;
        QDragMoveEvent move(position.toPoint(), actions, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(tree().viewport(), &move);
        if (!move.isAccepted()) return std::nullopt;
        return move.dropAction();
    }
    void leave() {
        QDragLeaveEvent event;
        QApplication::sendEvent(tree().viewport(), &event);
    }
    bool drop(const QMimeData& data, QPointF position, Qt::KeyboardModifiers modifiers = {}) {
        if (!hover(data, position, modifiers)) return false;
        QDropEvent event(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(tree().viewport(), &event);
        return event.isAccepted();
    }
    // The edit runs one main-queue turn after the drop.
    void settle() { QCoreApplication::processEvents(); }
};

TEST_F(DragDropTest, ActionZonesProposeMoveOrCopyAndLeaveClears) {
    const auto data = payload(root().actions[0]);
    const QModelIndex c = rowAt({2});
    EXPECT_EQ(hover(*data, at(c, 40, 10)), Qt::MoveAction);
    EXPECT_EQ(tree().dropTarget().value().position, InsertPosition::above);
    const auto middle = [](const DropTargeting::Rect& band) { return band.y + band.height / 2; };
    EXPECT_EQ(middle(tree().dropTarget()->indicatorBand.value()), tree().visualRect(c).top());
    EXPECT_EQ(hover(*data, at(c, 40, 11), Qt::AltModifier), Qt::CopyAction);
    EXPECT_EQ(tree().dropTarget()->position, InsertPosition::below);
    EXPECT_EQ(hover(*data, at(c, 40, 11), Qt::ControlModifier), Qt::CopyAction);
    leave();
    EXPECT_FALSE(tree().dropTarget());

    // An action is not taken by a chance row.
    EXPECT_FALSE(hover(*data, at(rowAt({3}), 40, 5)));
    EXPECT_FALSE(tree().dropTarget());
}

TEST_F(DragDropTest, ChanceZonesFollowTheInnermostBlock) {
    const auto data = payload(*root().chances[1]);
    const QModelIndex y = rowAt({3, 1});
    EXPECT_EQ(hover(*data, at(y, 31, 5)), Qt::MoveAction);
    EXPECT_EQ(tree().dropTarget()->position, InsertPosition::inside);
    EXPECT_FALSE(tree().dropTarget()->indicatorBand);
    hover(*data, at(y, 30, 10));
    EXPECT_EQ(tree().dropTarget()->position, InsertPosition::above);
    // Over e, the action row in Y's block, near the block's left edge: below Y's block, which
    // ends with its chance Z.
    const QModelIndex e = rowAt({3, 1, 0});
    hover(*data, at(e, 0, 5));
    const int yRow = tree().visualRect(y).top();
    EXPECT_EQ(tree().dropTarget()->position, InsertPosition::below);
    const auto& band = *tree().dropTarget()->indicatorBand;
    EXPECT_EQ(band.y + band.height / 2, tree().visualRect(rowAt({3, 1, 1})).bottom() + 1);
    EXPECT_LT(yRow, tree().visualRect(e).top());
    // A chance is not taken by a top-level action row.
    EXPECT_FALSE(hover(*data, at(rowAt({0}), 30, 5)));
}

TEST_F(DragDropTest, ForeignDataIsNotTaken) {
    QMimeData json;
    json.setData(QStringLiteral("application/json"), R"({"_action": {"sleep": {}}, "_id": "x"})");
    QDragEnterEvent enter(at(rowAt({0}), 40, 5).toPoint(), Qt::CopyAction | Qt::MoveAction, &json, Qt::LeftButton, {});
    QApplication::sendEvent(tree().viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(tree().dropTarget());
}

TEST_F(DragDropTest, AnOversizedPayloadOfAnotherProgramIsRefusedUnread) {
    HugeForeignPayload payload;
    diag::Capture printed;
    EXPECT_FALSE(drop(payload, at(rowAt({2}), 40, 5)));
    EXPECT_EQ(payload.handedOver, 0);
    EXPECT_EQ(printed.lines(), std::vector<std::string>{"The dragged data is too large."});
    settle();
    EXPECT_EQ(titles(root()), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(DragDropTest, DroppedActionMovesAndTheSelectionFollowsIt) {
    const Action a = root().actions[0];
    click(rowAt({0}));
    diag::Capture printed;
    ASSERT_TRUE(drop(*payload(a), at(rowAt({2}), 40, 10.5)));
    EXPECT_FALSE(tree().dropTarget());
    EXPECT_EQ(backupCount(), 0u); // not before the next turn
    settle();
    EXPECT_EQ(titles(root()), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(titles(*stored()), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(backupCount(), 1u);
    EXPECT_EQ(printed.lines(), std::vector<std::string>{"action dragged: " + a.kind.description()});
    EXPECT_TRUE(tree().isHighlighted(rowAt({2})));
    EXPECT_FALSE(tree().isHighlighted(rowAt({0})));
}

TEST_F(DragDropTest, AltDropOnItselfCopiesAChanceWithItsSubtree) {
    const ChancePtr x = root().chances[0];
    ASSERT_TRUE(drop(*payload(*x), at(rowAt({3}), 10, 15), Qt::AltModifier));
    settle();
    ASSERT_EQ(root().chances.size(), 3u);
    EXPECT_EQ(root().chances[0], x);
    EXPECT_EQ(root().chances[1]->toJson(), x->toJson());
    EXPECT_NE(root().chances[1]->id, x->id);
    EXPECT_EQ(stored()->chances.size(), 3u);
    EXPECT_EQ(backupCount(), 1u);
}

TEST_F(DragDropTest, IndicatorIsPaintedInItsBand) {
    const auto data = payload(root().actions[0]);
    hover(*data, at(rowAt({1}), 40, 5));
    const auto band = tree().dropTarget().value().indicatorBand.value();
    const QImage image = tree().viewport()->grab().toImage();
    // The line runs 3 below the band's padded top, 2 wide: rows 4 and 5 of the band.
    const QColor line = image.pixelColor(int(band.x + 40), int(band.y + 4));
    EXPECT_EQ(line, QColor(0, 122, 255));
    leave();
    const QImage cleared = tree().viewport()->grab().toImage();
    EXPECT_NE(cleared.pixelColor(int(band.x + 40), int(band.y + 4)), QColor(0, 122, 255));
}

TEST_F(DragDropTest, TheInsertionLineRunsBetweenRowsNeverThroughTheirText) {
    hover(*payload(root().actions[0]), at(rowAt({1}), 40, 5));
    const QImage image = tree().viewport()->grab().toImage();
    const int x = int(tree().dropTarget().value().indicatorBand.value().x + 40), line = tree().fontMetrics().height();
    const QRect above = tree().visualRect(rowAt({0})), target = tree().visualRect(rowAt({1}));
    const int aboveText = above.top() + (above.height() - line) / 2, targetText = target.top() + (target.height() - line) / 2;
    int drawn = 0; // rows of pixels on the line, all between the two rows' texts
    for (int y = 0; y < image.height(); ++y)
        if (image.pixelColor(x, y) == QColor(0, 122, 255)) {
            EXPECT_TRUE(++drawn && y >= aboveText + line && y < targetText) << y;
        }
    EXPECT_GT(drawn, 0);
}

} // namespace
} // namespace tavlin
