#include <gtest/gtest.h>

#include "configwindow/core/DropTargeting.h"

namespace tavlin {
namespace {

using namespace DropTargeting;

// Rows 20 high, indented 20 per level, in a viewport 300 wide:
//   0 action a         (depth 0)
//   1 chance X         (depth 0)
//   2   action d       (depth 1)
//   3   chance Y       (depth 1)
//   4     action e     (depth 2)
//   5 chance W         (depth 0)
std::vector<VisibleRow> sampleRows() {
    const auto row = [](bool chance, int depth, int index) {
        const double x = depth * 20;
        return VisibleRow{chance, depth, {x, index * 20.0, 300 - x, 20}};
    };
    return {row(false, 0, 0), row(true, 0, 1), row(false, 1, 2), row(true, 1, 3), row(false, 2, 4), row(true, 0, 5)};
}

TEST(DropTargetingTest, ZonesInATargetsOwnCoordinates) {
    EXPECT_EQ(actionZone({0, 10}), InsertPosition::above);
    EXPECT_EQ(actionZone({0, 10.5}), InsertPosition::below);
    EXPECT_EQ(chanceZone({31, 5}), InsertPosition::inside);
    EXPECT_EQ(chanceZone({30, 10}), InsertPosition::above);
    EXPECT_EQ(chanceZone({30, 11}), InsertPosition::below);
}

TEST(DropTargetingTest, ActionsLandOnActionRowsOnly) {
    const auto rows = sampleRows();
    EXPECT_EQ(actionTarget(rows, {50, 50}), (Target{2, InsertPosition::above, Rect{20, 35, 280, 10}}));
    EXPECT_EQ(actionTarget(rows, {50, 50.5}), (Target{2, InsertPosition::below, Rect{20, 55, 280, 10}}));
    EXPECT_FALSE(actionTarget(rows, {50, 25}));            // a chance row
    EXPECT_EQ(actionTarget(rows, {5, 45}).value().row, 2); // in the indentation of its line
    EXPECT_FALSE(actionTarget(rows, {50, 130}));           // below every row
}

TEST(DropTargetingTest, ChancesLandOnTheInnermostBlock) {
    const auto rows = sampleRows();
    // Y's block is its row and e's; in Y's coordinates (x from 20, y from 60).
    EXPECT_EQ(chanceTarget(rows, {51, 65}), (Target{3, InsertPosition::inside, std::nullopt}));
    EXPECT_EQ(chanceTarget(rows, {30, 70}), (Target{3, InsertPosition::above, Rect{20, 55, 280, 10}}));
    EXPECT_EQ(chanceTarget(rows, {30, 71}), (Target{3, InsertPosition::below, Rect{20, 95, 280, 10}}));
    // Over the action row e, near the block's left edge: Y's block below, marked at its bottom.
    EXPECT_EQ(chanceTarget(rows, {45, 85}), (Target{3, InsertPosition::below, Rect{20, 95, 280, 10}}));
    // Over d, the action row inside X's block, left of Y: X's block, whose bottom is e's.
    EXPECT_EQ(chanceTarget(rows, {25, 45}), (Target{1, InsertPosition::below, Rect{0, 95, 300, 10}}));
    // Left of Y's arrow, in Y's rows: still X's block.
    EXPECT_EQ(chanceTarget(rows, {10, 65}).value().row, 1);
    EXPECT_EQ(chanceTarget(rows, {10, 115}), (Target{5, InsertPosition::below, Rect{0, 115, 300, 10}}));
    EXPECT_FALSE(chanceTarget(rows, {10, 5}));   // the top-level action row is in no block
    EXPECT_FALSE(chanceTarget(rows, {10, 125})); // below every row
}

TEST(DropTargetingTest, IndicatorFillsItsBandLessPadding) {
    const double width = 200;
    const IndicatorGeometry geometry = indicatorGeometry({0, 0, width + 4, indicatorHeight});
    EXPECT_EQ(geometry.circle, (Rect{2, 2, 6, 6}));
    EXPECT_EQ(geometry.lineFrom, (Point{2 + 6, 2 + 3}));
    EXPECT_EQ(geometry.lineTo, (Point{2 + width, 2 + 3}));
}

} // namespace
} // namespace tavlin
