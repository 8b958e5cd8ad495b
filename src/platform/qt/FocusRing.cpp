#include "platform/qt/FocusRing.h"

#include <algorithm>

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtGui/QPainter>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QProxyStyle>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyleOption>

namespace tavlin::qt {

namespace {

void paintRing(QPainter& painter, const QColor& color, const QRect& area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

// Focus shows once the keyboard moved it in the window, as the stock style has it; sheets and
// dialogs count as moved from the moment they open.
bool showsFocus(const QStyleOption& option) {
    return (option.state & QStyle::State_HasFocus) && (option.state & QStyle::State_KeyboardFocusChange);
}

class FocusRingStyle final : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_FrameFocusRect) {
            if (!(option->state & State_KeyboardFocusChange)) return;
            // On a selected row the highlight is the background: the ring takes the text's colour.
            QColor color = option->palette.color(QPalette::Highlight);
            if (const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option);
                focus && focus->backgroundColor == color)
                color = option->palette.color(QPalette::HighlightedText);
            return paintRing(*painter, color, option->rect);
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_FrameLineEdit && showsFocus(*option))
            paintRing(*painter, option->palette.color(QPalette::Highlight), option->rect);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        // The stock style rings a button by its outline alone.
        if (element == CE_PushButtonBevel && showsFocus(*option))
            paintRing(*painter, option->palette.color(QPalette::Highlight), option->rect);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if ((control == CC_ComboBox || control == CC_SpinBox) && showsFocus(*option))
            paintRing(*painter, option->palette.color(QPalette::Highlight), option->rect);
    }
};

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

void drawFocusRing(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    paintRing(painter, widget.palette().color(QPalette::Highlight), area);
}

QStyle* makeFocusRingStyle() { return new FocusRingStyle(); }

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
