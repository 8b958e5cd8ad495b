#include "configwindow/DecisionTreeDelegate.h"

#include <QtGui/QAbstractTextDocumentLayout>
#include <QtGui/QPainter>
#include <QtGui/QTextDocument>

#include "configwindow/DecisionTreeModel.h"
#include "engine/ui/MarkdownText.h"

namespace tavlin {

namespace {
constexpr int verticalPadding = 2;
constexpr int horizontalPadding = 2;
} // namespace

DecisionTreeDelegate::DecisionTreeDelegate(IsHighlighted isHighlighted, QObject* parent)
    : QStyledItemDelegate(parent), isHighlighted_(std::move(isHighlighted)) {}

QSize DecisionTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.fontMetrics.averageCharWidth() * 20, option.fontMetrics.height() + 2 * verticalPadding};
}

void DecisionTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = dynamic_cast<const DecisionTreeModel*>(index.model());
    if (!model) return;
    const bool highlighted = isHighlighted_ && isHighlighted_(index);
    const QColor color = option.palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
    const QRect rect = option.rect.adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    const QFontMetrics& metrics = option.fontMetrics;
    const int textTop = rect.top() + (rect.height() - metrics.height()) / 2;

    painter->save();
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(color);
    if (const QTextDocument* document = model->descriptionDocument(index)) {
        const QString prefix = QStringLiteral("- ");
        painter->drawText(QRect(rect.left(), textTop, rect.width(), metrics.height()), Qt::AlignLeft | Qt::TextSingleLine,
                          prefix);
        const int left = rect.left() + metrics.horizontalAdvance(prefix);
        // One line, cut with an ellipsis as the plain texts are.
        const QRect area(left, rect.top(), std::max(0, rect.right() - left), rect.height());
        painter->setClipRect(area, Qt::IntersectClip);
        painter->translate(left, textTop);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = option.palette;
        context.palette.setColor(QPalette::Text, color);
        auto* shown = const_cast<QTextDocument*>(document);
        if (shown->defaultFont() != option.font) shown->setDefaultFont(option.font);
        drawOneLine(*painter, *shown, area.width(), context);
    } else {
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->drawText(QRect(rect.left(), textTop, rect.width(), metrics.height()), Qt::AlignLeft | Qt::TextSingleLine,
                          metrics.elidedText(text, Qt::ElideRight, rect.width()));
    }
    painter->restore();
}

} // namespace tavlin
