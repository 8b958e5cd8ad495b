#pragma once

#include <functional>
#include <optional>
#include <unordered_set>

#include <QtCore/QMimeData>
#include <QtWidgets/QTreeView>

#include "configwindow/DecisionTreeModel.h"
#include "configwindow/core/CommandKind.h"
#include "configwindow/core/DropTargeting.h"
#include "configwindow/core/Selection.h"
#include "platform/qt/HeaderlessTreeView.h"

namespace tavlin {

// The decision tree, one line per row, indented 20 per level. The window's selection (not Qt's)
// decides what is highlighted: an action row, or a chance row with every visible row below it.
// Every change resets the model; expansion, the current row and the scroll position come back
// in the same turn.
class DecisionTreeView final : public qt::HeaderlessTreeView {
public:
    using CommandHandler = std::function<void(CommandKind)>;

    DecisionTreeView(ConfigurationWindowModel& windowModel, Selection& selection, QWidget* parent = nullptr);
    ~DecisionTreeView() override;

    DecisionTreeModel& treeModel() { return *treeModel_; }
    // Runs the edit command of a double-clicked row; may be empty.
    void setCommandHandler(CommandHandler handler) { commandHandler_ = std::move(handler); }
    void setShowDecisionBorder(bool show);
    bool showDecisionBorder() const { return showDecisionBorder_; }

    bool isHighlighted(const QModelIndex& index) const;
    // Where a context menu for the keyboard opens: under the selected row, or the top left.
    QPoint contextMenuPosition() const;
    // Where the item being dragged over the view would land; none outside a drag.
    const std::optional<DropTargeting::Target>& dropTarget() const { return dropTarget_; }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Drags carry the pressed item by identifier; drops move or copy it in the tree (Alt or Ctrl
    // copies). Qt's own item drag and drop is never used: it would remove rows itself.
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void selectRow(const QModelIndex& index);
    // The row the window's selection names, or none.
    QModelIndex selectedIndex() const;
    void activateRow(const QModelIndex& index);
    bool isOnArrow(const QModelIndex& index, const QPoint& position) const;
    void rememberState();
    void restoreState();
    void followSelection();
    void drawBorders(QPainter* painter, const QRect& rowRect, const QModelIndex& index) const;
    // Where a drop at `position` would land; `index` is set to the target's row.
    std::optional<DropTargeting::Target> dropTargetAt(const QMimeData* data, const QPointF& position, QModelIndex* index) const;
    void setDropTarget(std::optional<DropTargeting::Target> target);

    ConfigurationWindowModel& windowModel_;
    Selection& selection_;
    DecisionTreeModel* treeModel_;
    CommandHandler commandHandler_;
    Selection::ObserverToken selectionToken_;
    bool showDecisionBorder_ = false;

    // Chances the user collapsed; every other chance is expanded.
    std::unordered_set<Uuid> collapsed_;
    bool restoring_ = false;
    std::optional<std::pair<bool, Uuid>> currentItem_; // chance?, identifier
    int scrollPosition_ = 0;

    QPoint pressPosition_;
    QPersistentModelIndex pressIndex_;
    bool pressed_ = false;
    bool dragged_ = false;
    std::optional<DropTargeting::Target> dropTarget_; // the indicator shown during a drag
};

} // namespace tavlin
