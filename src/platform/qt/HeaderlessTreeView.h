#pragma once

#include <vector>

#include <QtCore/QHash>
#include <QtCore/QMetaObject>
#include <QtGui/QAccessible>
#include <QtWidgets/QTreeView>

namespace tavlin::qt {

// A tree view without a column header, as screen readers should meet it. Qt's own accessible
// tree counts the header even while it is hidden (a column header is its first child) and offers
// "Toggle" on every row, also on rows that cannot be selected. Here the accessible children are
// the rows shown, first to last (one per row, the first column), and only a row that can be
// selected offers "Toggle", which switches a row's check box when it has one. Without expandable
// items and root decoration it is a list.
class HeaderlessTreeView : public QTreeView {
public:
    explicit HeaderlessTreeView(QWidget* parent = nullptr);
    ~HeaderlessTreeView() override;

    void setModel(QAbstractItemModel* model) override;

    // The rows shown, in the order shown; a row's place among them, or -1.
    int accessibleRowCount() const;
    QModelIndex accessibleRow(int position) const;
    int accessiblePosition(const QModelIndex& index) const;
    // The accessible interface of the row at `position`, the same one until the rows change.
    QAccessibleInterface* accessibleCell(int position) const;

protected:
    // Qt's tree view announces the current and the selected row by a place that counts the
    // header; these announce them by their place here.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void updateGeometries() override;

private:
    void announce(QAccessible::Event type, const QModelIndex& index);
    void collectRows(const QModelIndex& parent) const;
    void forgetRows() const;
    void forgetCells() const;

    mutable bool rowsKnown_ = false;
    mutable std::vector<QModelIndex> rows_;
    mutable QHash<QModelIndex, int> positions_;
    mutable QHash<QModelIndex, QAccessible::Id> cells_;
    std::vector<QMetaObject::Connection> modelConnections_;
};

} // namespace tavlin::qt
