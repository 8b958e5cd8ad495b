#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <QHash>
#include <QIcon>
#include <QStyledItemDelegate>

#include "flateditor/RowSections.h"

class QTextDocument;

namespace tavlin::flateditor {

// Draws the flat list's items: a section header, or one key binding as its enable toggle, its
// key badge and its action text. No widget per row: the list may hold thousands.
class KeysAndActionRowView final : public QStyledItemDelegate {
public:
    // Item data the list sets.
    enum Role { kindRole = Qt::UserRole + 1, sectionRole, rowRole, rowIDRole, symbolRole };
    enum class Kind { header = 1, row = 2 };

    // `sections` is what the items point into; the list keeps it.
    explicit KeysAndActionRowView(const std::vector<Section>* sections, QObject* parent = nullptr);
    ~KeysAndActionRowView() override;

    // The row an index shows, or nothing for a header.
    const FlatKeysAndActionRow* rowAt(const QModelIndex& index) const;
    const Section* sectionAt(const QModelIndex& index) const;

    // The parts of a row, for the font of `option`.
    QRect toggleRect(const QStyleOptionViewItem& option) const;
    QRect badgeAreaRect(const QStyleOptionViewItem& option) const;
    QRect actionRect(const QStyleOptionViewItem& option) const;
    // What the tooltip at a point of an item reads, if anything.
    std::optional<QString> tooltipAt(const QModelIndex& index, const QStyleOptionViewItem& option, const QPoint& point) const;

    // Forgets the rendered descriptions and icons (the rows changed).
    void clearCaches();
    // Widens the badges' column to the widest badge of the rows, within bounds, so that a
    // leader key is shortened only past them.
    void fitBadgeColumn(const QFont& font);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    void paintRow(QPainter* painter, const QStyleOptionViewItem& option, const FlatKeysAndActionRow& row) const;
    QTextDocument& description(std::string_view text) const;
    const std::vector<QIcon>& headerIcons(const Section& section) const;
    std::vector<QString> headerNames(const Section& section) const;

    const std::vector<Section>* sections_;
    mutable QHash<QString, std::shared_ptr<QTextDocument>> descriptions_;
    mutable QHash<QString, QIcon> icons_;
    mutable QHash<QString, QString> names_; // applications' names by path
    mutable std::vector<QIcon> iconScratch_;
    int badgeArea_ = 100;
};

} // namespace tavlin::flateditor
