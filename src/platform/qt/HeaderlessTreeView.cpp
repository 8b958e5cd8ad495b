#include "platform/qt/HeaderlessTreeView.h"

#include <QtCore/QItemSelectionModel>
#include <QtCore/QPersistentModelIndex>
#include <QtCore/QPointer>
#include <QtWidgets/QAccessibleWidget>

namespace tavlin::qt {
namespace {

bool isList(const QTreeView& view) { return !view.rootIsDecorated() && !view.itemsExpandable(); }

class RowInterface final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowInterface(HeaderlessTreeView* view, const QModelIndex& index) : view_(view), index_(index) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    bool isValid() const override { return view_ && index_.isValid(); }
    QModelIndex index() const { return index_; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text text) const override {
        if (text == QAccessible::Description) return index_.data(Qt::AccessibleDescriptionRole).toString();
        if (text != QAccessible::Name) return {};
        const QVariant name = index_.data(Qt::AccessibleTextRole);
        return name.isValid() ? name.toString() : index_.data(Qt::DisplayRole).toString();
    }
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect shown = view_->visualRect(index_);
        return {view_->viewport()->mapToGlobal(shown.topLeft()), shown.size()};
    }
    QAccessible::Role role() const override { return view_ && isList(*view_) ? QAccessible::ListItem : QAccessible::TreeItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) return state;
        const Qt::ItemFlags flags = index_.flags();
        state.focusable = view_->focusPolicy() != Qt::NoFocus;
        state.focused = view_->hasFocus() && view_->currentIndex() == index_;
        state.disabled = !(flags & Qt::ItemIsEnabled);
        state.offscreen = !view_->viewport()->rect().intersects(view_->visualRect(index_));
        state.selectable = selectable();
        state.selected = state.selectable && view_->selectionModel()->isSelected(index_);
        state.checkable = (flags & Qt::ItemIsUserCheckable) != 0;
        state.checked = state.checkable && index_.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        state.expandable = !isList(*view_) && index_.model()->hasChildren(index_);
        state.expanded = state.expandable && view_->isExpanded(index_);
        return state;
    }

    // "Toggle" switches a row that has a check box, as a click on the box does; any other row it
    // selects or takes out of the selection, as in Qt's own rows.
    QStringList actionNames() const override { return selectable() ? QStringList{toggleAction()} : QStringList(); }
    void doAction(const QString& name) override {
        if (name != toggleAction() || !selectable()) return;
        if (index_.flags() & Qt::ItemIsUserCheckable) {
            const bool checked = index_.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            const_cast<QAbstractItemModel*>(index_.model())
                ->setData(index_, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            return;
        }
        QItemSelectionModel* selection = view_->selectionModel();
        const QItemSelectionModel::SelectionFlags rows = view_->selectionBehavior() == QAbstractItemView::SelectRows
                                                             ? QItemSelectionModel::Rows
                                                             : QItemSelectionModel::NoUpdate;
        if (selection->isSelected(index_)) selection->select(index_, QItemSelectionModel::Deselect | rows);
        else if (view_->selectionMode() == QAbstractItemView::SingleSelection)
            selection->setCurrentIndex(index_, QItemSelectionModel::ClearAndSelect | rows);
        else selection->select(index_, QItemSelectionModel::Select | rows);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    bool selectable() const {
        return isValid() && view_->selectionMode() != QAbstractItemView::NoSelection &&
               (index_.flags() & (Qt::ItemIsEnabled | Qt::ItemIsSelectable)) == (Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }

    QPointer<HeaderlessTreeView> view_;
    QPersistentModelIndex index_;
};

class ViewInterface final : public QAccessibleWidget {
public:
    explicit ViewInterface(HeaderlessTreeView* view) : QAccessibleWidget(view, QAccessible::Tree) {}

    QAccessible::Role role() const override { return isList(*view()) ? QAccessible::List : QAccessible::Tree; }
    int childCount() const override { return view()->accessibleRowCount(); }
    QAccessibleInterface* child(int position) const override { return view()->accessibleCell(position); }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* row = dynamic_cast<const RowInterface*>(child);
        return row && row->isValid() ? view()->accessiblePosition(row->index()) : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return child(view()->accessiblePosition(index));
    }

private:
    HeaderlessTreeView* view() const { return static_cast<HeaderlessTreeView*>(widget()); }
};

QAccessibleInterface* accessibleView(const QString&, QObject* object) {
    if (auto* view = dynamic_cast<HeaderlessTreeView*>(object)) return new ViewInterface(view);
    return nullptr;
}

} // namespace

HeaderlessTreeView::HeaderlessTreeView(QWidget* parent) : QTreeView(parent) {
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(accessibleView), true);
    setHeaderHidden(true);
    connect(this, &QTreeView::expanded, this, [this] { forgetRows(); });
    connect(this, &QTreeView::collapsed, this, [this] { forgetRows(); });
}

HeaderlessTreeView::~HeaderlessTreeView() {
    for (const auto& connection : modelConnections_) disconnect(connection);
    forgetCells();
    // The view's interface reads the rows kept here: it goes with them, not later with the widget.
    if (QAccessibleInterface* view = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(view));
}

void HeaderlessTreeView::setModel(QAbstractItemModel* model) {
    for (const auto& connection : modelConnections_) disconnect(connection);
    modelConnections_.clear();
    QTreeView::setModel(model);
    forgetCells();
    if (!model) return;
    // Rows that come, go or move leave every kept row interface behind.
    const auto changed = [this] { forgetCells(); };
    modelConnections_ = {connect(model, &QAbstractItemModel::modelReset, this, changed),
                         connect(model, &QAbstractItemModel::layoutChanged, this, changed),
                         connect(model, &QAbstractItemModel::rowsInserted, this, changed),
                         connect(model, &QAbstractItemModel::rowsRemoved, this, changed),
                         connect(model, &QAbstractItemModel::rowsMoved, this, changed)};
}

int HeaderlessTreeView::accessibleRowCount() const {
    if (!rowsKnown_) {
        rowsKnown_ = true;
        if (model()) collectRows(rootIndex());
    }
    return static_cast<int>(rows_.size());
}

QModelIndex HeaderlessTreeView::accessibleRow(int position) const {
    if (position < 0 || position >= accessibleRowCount()) return {};
    return rows_[static_cast<std::size_t>(position)];
}

int HeaderlessTreeView::accessiblePosition(const QModelIndex& index) const {
    accessibleRowCount();
    return positions_.value(index.siblingAtColumn(0), -1);
}

QAccessibleInterface* HeaderlessTreeView::accessibleCell(int position) const {
    const QModelIndex index = accessibleRow(position);
    if (!index.isValid()) return nullptr;
    if (const QAccessible::Id id = cells_.value(index))
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(id)) return cell;
    auto* cell = new RowInterface(const_cast<HeaderlessTreeView*>(this), index);
    cells_.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

void HeaderlessTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Not QTreeView's: it announces cells of its own, which are not the rows a reader meets here.
    QAbstractItemView::currentChanged(current, previous); // NOLINT(bugprone-parent-virtual-call)
    if (allColumnsShowFocus()) {
        for (const QModelIndex& index : {previous, current}) {
            if (!index.isValid()) continue;
            const QRect row = visualRect(index);
            viewport()->update(QRect(0, row.y(), viewport()->width(), row.height()));
        }
    }
    if (current.isValid() && hasFocus()) announce(QAccessible::Focus, current);
}

void HeaderlessTreeView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected); // NOLINT(bugprone-parent-virtual-call): as above
    announce(QAccessible::SelectionAdd, selected.indexes().value(0));
    announce(QAccessible::SelectionRemove, deselected.indexes().value(0));
}

void HeaderlessTreeView::updateGeometries() {
    // Called after every layout of the rows, also after expandAll(), which reports no expansion.
    forgetRows();
    QTreeView::updateGeometries();
}

void HeaderlessTreeView::announce(QAccessible::Event type, const QModelIndex& index) {
    if (!QAccessible::isActive() || !index.isValid()) return;
    const int position = accessiblePosition(index);
    if (position < 0) return;
    QAccessibleEvent event(this, type);
    event.setChild(position);
    QAccessible::updateAccessibility(&event);
}

void HeaderlessTreeView::collectRows(const QModelIndex& parent) const {
    const int count = model()->rowCount(parent);
    for (int row = 0; row < count; ++row) {
        if (isRowHidden(row, parent)) continue;
        const QModelIndex index = model()->index(row, 0, parent);
        positions_.insert(index, static_cast<int>(rows_.size()));
        rows_.push_back(index);
        if (isExpanded(index)) collectRows(index);
    }
}

void HeaderlessTreeView::forgetRows() const {
    rowsKnown_ = false;
    rows_.clear();
    positions_.clear();
}

void HeaderlessTreeView::forgetCells() const {
    forgetRows();
    const auto cells = std::exchange(cells_, {});
    for (const QAccessible::Id id : cells) QAccessible::deleteAccessibleInterface(id);
}

} // namespace tavlin::qt
