#include "configwindow/FocusRing.h"

#include <algorithm>

#include <QtGui/QPainter>
#include <QtWidgets/QPushButton>

namespace tavlin {

namespace {

class LinkButton final : public QPushButton {
public:
    LinkButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (hasFocus()) drawFocusRing(*this, rect());
    }
};

} // namespace

void drawFocusRing(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), 3, 3);
}

QPushButton* makeLinkButton(const QString& title, QWidget* parent) {
    auto* button = new LinkButton(title, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setAccessibleName(title);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    button->setPalette(palette);
    return button;
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

} // namespace tavlin
