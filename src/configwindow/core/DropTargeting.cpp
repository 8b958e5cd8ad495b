#include "configwindow/core/DropTargeting.h"

#include <cstddef>

namespace tavlin::DropTargeting {
namespace {

bool contains(const Rect& rect, Point point) {
    return point.x >= rect.x && point.x < rect.right() && point.y >= rect.y && point.y < rect.bottom();
}

// Centred on the edge, so the line runs between two rows, never through a row's text.
Rect bandAbove(const Rect& rect) { return {rect.x, rect.y - indicatorHeight / 2, rect.width, indicatorHeight}; }
Rect bandBelow(const Rect& rect) { return {rect.x, rect.bottom() - indicatorHeight / 2, rect.width, indicatorHeight}; }

} // namespace

InsertPosition actionZone(Point local) { return local.y <= zoneHeight ? InsertPosition::above : InsertPosition::below; }

InsertPosition chanceZone(Point local) {
    if (local.x > insideFrom) return InsertPosition::inside;
    return local.y <= zoneHeight ? InsertPosition::above : InsertPosition::below;
}

std::optional<Target> actionTarget(const std::vector<VisibleRow>& rows, Point point) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const VisibleRow& row = rows[i];
        // The whole line takes the drop, its indentation included.
        if (row.isChance || point.y < row.rect.y || point.y >= row.rect.bottom()) continue;
        const InsertPosition position = actionZone({point.x - row.rect.x, point.y - row.rect.y});
        return Target{static_cast<int>(i), position,
                      position == InsertPosition::above ? bandAbove(row.rect) : bandBelow(row.rect)};
    }
    return std::nullopt;
}

std::optional<Target> chanceTarget(const std::vector<VisibleRow>& rows, Point point) {
    // Blocks nest in the order shown, so the last one holding the point is the innermost.
    std::optional<Target> found;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const VisibleRow& head = rows[i];
        if (!head.isChance) continue;
        if (point.y < head.rect.y) break;
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end].depth > head.depth) ++end;
        const Rect block{head.rect.x, head.rect.y, head.rect.width, rows[end - 1].rect.bottom() - head.rect.y};
        if (!contains(block, point)) continue;
        const InsertPosition position = chanceZone({point.x - block.x, point.y - block.y});
        std::optional<Rect> band;
        if (position == InsertPosition::above) band = bandAbove(block);
        if (position == InsertPosition::below) band = bandBelow(block);
        found = Target{static_cast<int>(i), position, band};
    }
    return found;
}

IndicatorGeometry indicatorGeometry(const Rect& band) {
    constexpr double padding = 2;
    const Rect shape{band.x + padding, band.y + padding, band.width - 2 * padding, band.height - 2 * padding};
    const double h = shape.height;
    return {{shape.x, shape.y, h, h}, {shape.x + h, shape.y + h * 0.5}, {shape.right(), shape.y + shape.height * 0.5}};
}

} // namespace tavlin::DropTargeting
