#include "platform/qt/FocusRing.h"

#include <algorithm>

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtGui/QPainter>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QScrollBar>

namespace tavlin::qt {

void drawFocusRing(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(widget.palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), 3, 3);
}

namespace {

// Paints the viewport as it would, then the ring over it. It keeps the view as a plain widget:
// the view's own destructor still sends it focus events, when it is a scroll area no more.
class FocusRing final : public QObject {
public:
    explicit FocusRing(QAbstractScrollArea& view) : QObject(&view), view_(&view), viewport_(view.viewport()) {
        view.installEventFilter(this);
        viewport_->installEventFilter(this);
        // Scrolling moves the painted pixels, the ring with them: paint it all again.
        for (QScrollBar* bar : {view.verticalScrollBar(), view.horizontalScrollBar()})
            connect(bar, &QScrollBar::valueChanged, this, [this] {
                if (view_->hasFocus() && viewport_) viewport_->update();
            });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!viewport_) return false;
        if (watched == view_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) viewport_->update();
        if (watched != viewport_ || event->type() != QEvent::Paint || painting_ || !view_->hasFocus()) return false;
        painting_ = true;
        QCoreApplication::sendEvent(viewport_, event);
        painting_ = false;
        drawFocusRing(*viewport_, viewport_->rect());
        return true;
    }

private:
    QWidget* const view_;
    QPointer<QWidget> viewport_;
    bool painting_ = false;
};

} // namespace

void showFocusRing(QAbstractScrollArea& view) { new FocusRing(view); }

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
