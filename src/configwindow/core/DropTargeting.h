#pragma once

#include <optional>
#include <vector>

namespace tavlin {

// Where a dragged item over the tree editor would land, worked out from the visible rows'
// rectangles alone, so it is tested without a display. Rows never move during a drag: the
// indicator is painted over them.
namespace DropTargeting {

enum class InsertPosition { above, below, inside };

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// One visible row, in the order shown. `rect` runs from the row's leading edge (a chance's
// disclosure arrow) to the viewport's trailing edge.
struct VisibleRow {
    bool isChance = false;
    int depth = 0;
    Rect rect;
};

struct Target {
    int row = 0; // into the visible rows: the action row, or the chance row that heads the block
    InsertPosition position = InsertPosition::above;
    // The 10-high band the indicator is painted in, centred on the edge it marks; none for inside.
    std::optional<Rect> indicatorBand;
    friend bool operator==(const Target&, const Target&) = default;
};

inline constexpr double zoneHeight = 10; // above the line: above; below it: below
inline constexpr double insideFrom = 30; // a chance dragged further in than this goes inside
inline constexpr double indicatorHeight = 10;

// The zones in a target's own coordinates.
InsertPosition actionZone(Point local);
InsertPosition chanceZone(Point local);

// An action: the action line under the point. A chance: the innermost chance block holding the
// point (the chance row and every visible row of its subtree below it).
std::optional<Target> actionTarget(const std::vector<VisibleRow>& rows, Point point);
std::optional<Target> chanceTarget(const std::vector<VisibleRow>& rows, Point point);

// The indicator drawn in a band: a circle 6 across at the leading edge and a line from its
// right-hand side to the trailing edge, inside 2 of padding.
struct IndicatorGeometry {
    Rect circle;
    Point lineFrom;
    Point lineTo;
    friend bool operator==(const IndicatorGeometry&, const IndicatorGeometry&) = default;
};
IndicatorGeometry indicatorGeometry(const Rect& band);

} // namespace DropTargeting
} // namespace tavlin
