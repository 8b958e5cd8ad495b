#include "platform/qt/FocusRing.h"

#include <algorithm>

#include <QtGui/QPainter>

namespace tavlin::qt {

void drawFocusRing(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), 3, 3);
}

void FocusRingTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (hasFocus()) drawFocusRing(*viewport(), viewport()->rect());
}

void FocusRingTreeView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void FocusRingTreeView::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

// Scrolling moves the painted pixels, the ring along the edges with them: paint it all again.
void FocusRingTreeView::scrollContentsBy(int dx, int dy) {
    QTreeView::scrollContentsBy(dx, dy);
    if (hasFocus()) viewport()->update();
}

void chainFocus(const std::vector<QWidget*>& blocks) {
    if (blocks.empty()) return;
    QWidget* window = blocks.front()->window();
    std::vector<std::vector<QWidget*>> members(blocks.size());
    for (QWidget* widget = window->nextInFocusChain(); widget && widget != window; widget = widget->nextInFocusChain()) {
        // A widget whose focus goes to another (the editor inside a spin box) moves with it.
        if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy()) continue;
        // A block named itself counts before the block that holds it.
        auto block = std::find(blocks.begin(), blocks.end(), widget);
        if (block == blocks.end())
            block = std::find_if(blocks.begin(), blocks.end(), [widget](QWidget* b) { return b->isAncestorOf(widget); });
        if (block != blocks.end()) members[static_cast<std::size_t>(block - blocks.begin())].push_back(widget);
    }
    QWidget* previous = nullptr;
    for (const auto& block : members) {
        for (QWidget* widget : block) {
            if (previous) QWidget::setTabOrder(previous, widget);
            previous = widget;
        }
    }
}

} // namespace tavlin::qt
