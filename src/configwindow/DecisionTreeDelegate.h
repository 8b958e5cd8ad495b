#pragma once

#include <functional>

#include <QtWidgets/QStyledItemDelegate>

namespace tavlin {

// Paints a row as one line: "• " and the pattern's text, or "- " and the action's description
// (rendered Markdown or HTML, never loading anything) or its one-line text. Colours follow the
// window's selection, not Qt's.
class DecisionTreeDelegate final : public QStyledItemDelegate {
public:
    using IsHighlighted = std::function<bool(const QModelIndex&)>;

    DecisionTreeDelegate(IsHighlighted isHighlighted, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IsHighlighted isHighlighted_;
};

} // namespace tavlin
