#include "configwindow/DecisionTreeView.h"

#include <algorithm>

#include <QtGui/QDrag>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include "configwindow/DecisionTreeDelegate.h"
#include "configwindow/core/DragPayload.h"
#include "configwindow/core/DropHandler.h"
#include "platform/base/Diagnostics.h"
#include "platform/qt/DropData.h"
#include "platform/qt/FocusRing.h"

namespace tavlin {

namespace {
constexpr int levelIndentation = 20;
const QColor borderColor(0, 122, 255);
const QColor indicatorColor(0, 122, 255);

QString format(std::string_view type) { return QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())); }

// Alt is the copy modifier; Ctrl too, as elsewhere on Linux.
bool copies(Qt::KeyboardModifiers modifiers) { return modifiers & (Qt::AltModifier | Qt::ControlModifier); }

DragPayload::DataForType dataOf(const QMimeData* data) {
    return [data](std::string_view type) -> std::optional<std::string> {
        if (!data || !data->hasFormat(format(type))) return std::nullopt;
        // Another program's payload is refused by its announced size before any of it is read.
        const auto payload = readDropPayload(*data, format(type), static_cast<qint64>(DragPayload::maximumSize));
        if (payload.tooLarge) throw DragPayload::TooLargeError();
        if (payload.stalled) throw DragPayload::StalledError();
        return payload.bytes.toStdString();
    };
}
} // namespace

DecisionTreeView::DecisionTreeView(ConfigurationWindowModel& windowModel, Selection& selection, QWidget* parent)
    : qt::HeaderlessTreeView(parent), windowModel_(windowModel), selection_(selection) {
    treeModel_ = new DecisionTreeModel(windowModel_, this);
    setModel(treeModel_);
    setItemDelegate(new DecisionTreeDelegate([this](const QModelIndex& index) { return isHighlighted(index); }, this));
    setIndentation(levelIndentation);
    setUniformRowHeights(true);
    // Per-pixel scrolling asks every row for its height.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setExpandsOnDoubleClick(false);
    setItemsExpandable(true);
    // Drags are started and taken here, by identifier, never through the item model.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setAutoScroll(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    qt::showFocusRing(*this);
    setAccessibleName(QStringLiteral("Decision Tree"));
    setAccessibleDescription(QStringLiteral("The decision tree: actions and chances, one per row"));

    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (restoring_) return;
        if (const auto* row = treeModel_->row(index); row && row->chance) collapsed_.insert(row->chance->id);
    });
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (restoring_) return;
        if (const auto* row = treeModel_->row(index); row && row->chance) collapsed_.erase(row->chance->id);
    });
    connect(treeModel_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { rememberState(); });
    connect(treeModel_, &QAbstractItemModel::modelReset, this, [this] { restoreState(); });
    selectionToken_ = selection_.addObserver([this] { followSelection(); });
    restoreState();
}

DecisionTreeView::~DecisionTreeView() { selection_.removeObserver(selectionToken_); }

void DecisionTreeView::setShowDecisionBorder(bool show) {
    if (show == showDecisionBorder_) return;
    showDecisionBorder_ = show;
    viewport()->update();
}

bool DecisionTreeView::isHighlighted(const QModelIndex& index) const {
    const auto& selection = selection_.current();
    const auto* row = treeModel_->row(index);
    if (!selection || !row) return false;
    if (const auto* action = selection->action()) return treeModel_->rows().actionRow(action->action.id) == row;
    const auto* chance = treeModel_->rows().chanceRow(selection->chance()->chanceID);
    for (; row && chance; row = row->parent)
        if (row == chance) return true;
    return false;
}

void DecisionTreeView::followSelection() {
    // During a change the rows are being rebuilt; the reset repaints anyway.
    viewport()->update();
}

void DecisionTreeView::rememberState() {
    currentItem_.reset();
    if (const auto* row = treeModel_->row(currentIndex())) {
        if (row->chance) currentItem_ = std::make_pair(true, row->chance->id);
        else currentItem_ = std::make_pair(false, row->action().id);
    }
    scrollPosition_ = verticalScrollBar()->value();
}

void DecisionTreeView::restoreState() {
    restoring_ = true;
    expandAll();
    // Forget chances that are gone, and collapse the others again.
    std::unordered_set<Uuid> stillThere;
    for (const Uuid& id : collapsed_) {
        const QModelIndex index = treeModel_->chanceIndex(id);
        if (!index.isValid()) continue;
        stillThere.insert(id);
        collapse(index);
    }
    collapsed_ = std::move(stillThere);
    if (currentItem_) {
        const QModelIndex index = currentItem_->first ? treeModel_->chanceIndex(currentItem_->second)
                                                      : treeModel_->actionIndex(currentItem_->second);
        if (index.isValid()) selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    verticalScrollBar()->setValue(scrollPosition_);
    restoring_ = false;
}

void DecisionTreeView::selectRow(const QModelIndex& index) {
    const auto* row = treeModel_->row(index);
    if (!row) {
        selection_.clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (row->chance) selection_.selectChance(row->chance->id);
    else selection_.selectAction(row->action().id);
}

void DecisionTreeView::activateRow(const QModelIndex& index) {
    const auto* row = treeModel_->row(index);
    if (!row) return;
    selectRow(index);
    if (commandHandler_) commandHandler_(row->chance ? CommandKind::editPattern : CommandKind::editAction);
}

bool DecisionTreeView::isOnArrow(const QModelIndex& index, const QPoint& position) const {
    if (!index.isValid() || !treeModel_->hasChildren(index)) return false;
    const QRect item = visualRect(index);
    return position.x() < item.left() && position.x() >= item.left() - indentation();
}

void DecisionTreeView::mousePressEvent(QMouseEvent* event) {
    // Qt's own handling would select and start drags; the right button never selects.
    pressed_ = false;
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (isOnArrow(index, event->position().toPoint())) {
        setExpanded(index, !isExpanded(index));
        event->accept();
        return;
    }
    pressed_ = true;
    dragged_ = false;
    pressPosition_ = event->position().toPoint();
    pressIndex_ = index;
    event->accept();
}

void DecisionTreeView::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ && !dragged_ &&
        (event->position().toPoint() - pressPosition_).manhattanLength() >= QApplication::startDragDistance()) {
        dragged_ = true;
        startDrag(Qt::CopyAction | Qt::MoveAction);
    }
    event->accept();
}

void DecisionTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_ && !dragged_) selectRow(indexAt(event->position().toPoint()));
    pressed_ = false;
    event->accept();
}

void DecisionTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (isOnArrow(index, event->position().toPoint())) {
        setExpanded(index, !isExpanded(index));
    } else if (index.isValid()) {
        activateRow(index);
    }
    pressed_ = false;
    event->accept();
}

QModelIndex DecisionTreeView::selectedIndex() const {
    const auto& selection = selection_.current();
    if (!selection) return {};
    if (const auto* action = selection->action()) return treeModel_->actionIndex(action->action.id);
    return treeModel_->chanceIndex(selection->chance()->chanceID);
}

void DecisionTreeView::keyPressEvent(QKeyEvent* event) {
    // Keys act on the highlighted row. Qt's current row is not shown (focus alone makes the first
    // row current), so a first move starts at the top instead of stepping past it.
    const QModelIndex current = selectedIndex();
    if (current.isValid()) selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    std::optional<CursorAction> move;
    switch (event->key()) {
    case Qt::Key_Up: move = MoveUp; break;
    case Qt::Key_Down: move = MoveDown; break;
    case Qt::Key_Home: move = MoveHome; break;
    case Qt::Key_End: move = MoveEnd; break;
    case Qt::Key_PageUp: move = MovePageUp; break;
    case Qt::Key_PageDown: move = MovePageDown; break;
    case Qt::Key_Left:
        if (current.isValid() && isExpanded(current)) collapse(current);
        event->accept();
        return;
    case Qt::Key_Right:
        if (current.isValid() && treeModel_->hasChildren(current)) expand(current);
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activateRow(current.isValid() ? current : QModelIndex());
        event->accept();
        return;
    case Qt::Key_Menu:
        emit customContextMenuRequested(contextMenuPosition());
        event->accept();
        return;
    case Qt::Key_F10:
        if (event->modifiers() & Qt::ShiftModifier) {
            emit customContextMenuRequested(contextMenuPosition());
            event->accept();
            return;
        }
        break;
    default: break;
    }
    if (!move) {
        // No key deletes: there is no confirmation and no undo.
        event->ignore();
        return;
    }
    QModelIndex next;
    if (current.isValid()) {
        next = moveCursor(*move, event->modifiers());
    } else {
        next = treeModel_->index(0, 0);
        if (*move == MoveEnd && next.isValid()) {
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
            next = moveCursor(MoveEnd, event->modifiers());
        }
    }
    if (!next.isValid()) next = current;
    if (next.isValid()) {
        selectRow(next);
        scrollTo(next);
    }
    event->accept();
}

QPoint DecisionTreeView::contextMenuPosition() const {
    const QRect rect = visualRect(selectedIndex());
    // The signal's position is in the viewport's coordinates, as for a mouse request.
    return rect.isValid() ? rect.bottomLeft() : QPoint(0, 0);
}

void DecisionTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QRect rowRect(0, option.rect.top(), viewport()->width(), option.rect.height());
    QStyleOptionViewItem plain = option;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    if (isHighlighted(index)) painter->fillRect(rowRect, option.palette.color(QPalette::Highlight));
    QTreeView::drawRow(painter, plain, index);
    if (showDecisionBorder_) drawBorders(painter, rowRect, index);
}

// Each decision gets a frame round its rows: its left and right edges on every row it holds, its
// top over its first row and its bottom under its last visible one. An empty decision of an
// expanded chance is a line under the chance's row.
void DecisionTreeView::drawBorders(QPainter* painter, const QRect& rowRect, const QModelIndex& index) const {
    const auto* row = treeModel_->row(index);
    if (!row) return;
    const auto& rows = treeModel_->rows();
    painter->save();
    painter->setPen(QPen(borderColor, 1));
    const int top = rowRect.top();
    const int bottom = rowRect.bottom();
    const int right = rowRect.right();

    // Whether this row is the last visible one of the decision at each level, from its own up.
    const bool open = treeModel_->hasChildren(index) && isExpanded(index);
    bool lastSoFar = !open;
    const DecisionTreeRows::Row* level = row;
    for (int depth = row->depth; depth >= 0; --depth) {
        const int left = depth * levelIndentation;
        const int edge = right - depth;
        painter->drawLine(left, top, left, bottom);
        painter->drawLine(edge, top, edge, bottom);
        if (depth == row->depth && row->row == 0) painter->drawLine(left, top, edge, top);
        lastSoFar = lastSoFar && level && level->isLastChild(rows);
        if (lastSoFar) painter->drawLine(left, bottom, edge, bottom);
        level = level ? level->parent : nullptr;
    }
    if (row->chance && row->chance->decision && row->children.empty() && !collapsed_.count(row->chance->id)) {
        const int left = (row->depth + 1) * levelIndentation;
        painter->drawLine(left, bottom, right - row->depth - 1, bottom);
    }
    painter->restore();
}

} // namespace tavlin

namespace tavlin {

void DecisionTreeView::startDrag(Qt::DropActions supportedActions) {
    const auto* row = treeModel_->row(pressIndex_);
    if (!row) return;
    // A press in the indentation left of a row is in the block of the chance that level belongs to.
    const int leading = visualRect(pressIndex_).left() - indentation();
    if (pressPosition_.x() < leading) {
        const int origin = leading - row->depth * indentation();
        const int level = std::max(0, (pressPosition_.x() - origin) / indentation());
        while (row->parent && row->depth > level) row = row->parent;
    }
    auto* data = new QMimeData;
    try {
        if (row->chance) {
            data->setData(format(DragPayload::chanceType),
                          QByteArray::fromStdString(DragPayload::writeChance(*row->chance, DragPayload::chanceType)));
        } else {
            data->setData(format(DragPayload::actionType),
                          QByteArray::fromStdString(DragPayload::writeAction(row->action(), DragPayload::actionType)));
        }
    } catch (const std::exception& error) {
        diag::printLine(diag::Category::editor, error.what());
        delete data;
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drop side edits the tree; nothing is left to do here once the drag ends.
    drag->exec(supportedActions, Qt::MoveAction);
}

std::optional<DropTargeting::Target> DecisionTreeView::dropTargetAt(const QMimeData* data, const QPointF& position,
                                                                    QModelIndex* index) const {
    const bool action = data && data->hasFormat(format(DragPayload::actionType));
    const bool chance = data && data->hasFormat(format(DragPayload::chanceType));
    if (!action && !chance) return std::nullopt;
    const QModelIndex under = indexAt(position.toPoint());
    if (!under.isValid()) return std::nullopt;

    // The row under the point, the chances holding it, and every row below it up to the end of
    // the outermost block: rows have one height, so their places follow from the first.
    std::vector<QModelIndex> indexes;
    for (QModelIndex i = under.parent(); i.isValid(); i = i.parent()) indexes.insert(indexes.begin(), i);
    indexes.push_back(under);
    const int outermost = treeModel_->row(indexes.front())->depth;
    const QRect underRect = visualRect(under);
    const int height = underRect.height();
    const int width = viewport()->width();
    std::vector<DropTargeting::VisibleRow> rows;
    const auto add = [&](const QModelIndex& i, int top) {
        const auto* row = treeModel_->row(i);
        const double x = underRect.left() - indentation() - (treeModel_->row(under)->depth - row->depth) * indentation();
        rows.push_back({row->chance != nullptr, row->depth, {x, double(top), width - x, double(height)}});
    };
    for (std::size_t k = 0; k + 1 < indexes.size(); ++k) add(indexes[k], visualRect(indexes[k]).top());
    add(under, underRect.top());
    int top = underRect.top();
    for (QModelIndex next = indexBelow(under); next.isValid() && treeModel_->row(next)->depth > outermost;
         next = indexBelow(next)) {
        top += height;
        indexes.push_back(next);
        add(next, top);
    }
    const DropTargeting::Point point{position.x(), position.y()};
    auto target = action ? DropTargeting::actionTarget(rows, point) : DropTargeting::chanceTarget(rows, point);
    if (target && index) *index = indexes[static_cast<std::size_t>(target->row)];
    return target;
}

void DecisionTreeView::setDropTarget(std::optional<DropTargeting::Target> target) {
    if (target == dropTarget_) return;
    dropTarget_ = std::move(target);
    viewport()->update();
}

void DecisionTreeView::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!data || !(data->hasFormat(format(DragPayload::actionType)) || data->hasFormat(format(DragPayload::chanceType)))) {
        event->ignore();
        return;
    }
    setState(DraggingState);
    dragMoveEvent(event);
    // Taken whatever lies under the point, so the moves that follow come here too.
    event->accept();
}

void DecisionTreeView::dragMoveEvent(QDragMoveEvent* event) {
    // Qt's handling scrolls near the viewport's edges; whether to take the drop is decided here.
    QTreeView::dragMoveEvent(event);
    const auto target = dropTargetAt(event->mimeData(), event->position(), nullptr);
    setDropTarget(target);
    if (!target) {
        event->ignore();
        return;
    }
    event->setDropAction(copies(event->modifiers()) ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void DecisionTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeView::dragLeaveEvent(event);
    setDropTarget(std::nullopt);
}

void DecisionTreeView::dropEvent(QDropEvent* event) {
    stopAutoScroll();
    setState(NoState);
    setDropTarget(std::nullopt);
    const QMimeData* data = event->mimeData();
    QModelIndex index;
    const auto target = dropTargetAt(data, event->position(), &index);
    const auto* row = treeModel_->row(index);
    if (!target || !row) {
        if (data && (data->hasFormat(format(DragPayload::actionType)) || data->hasFormat(format(DragPayload::chanceType))))
            diag::printLine(diag::Category::editor, "");
        event->ignore();
        return;
    }
    // Decided again at the drop, from the keys held now.
    const bool copy = copies(event->modifiers() | QGuiApplication::queryKeyboardModifiers());
    const DecisionPtr container = row->container->shared_from_this();
    bool delivered = false;
    if (row->chance) {
        DragPayload::loadChance(dataOf(data), [&](ChancePtr chance) {
            delivered = true;
            DropHandler::chanceDropped(windowModel_, std::move(chance), container, row->index, target->position, copy);
        });
    } else {
        DragPayload::loadAction(dataOf(data), [&](Action action) {
            delivered = true;
            DropHandler::actionDropped(windowModel_, std::move(action), container, row->index, target->position, copy);
        });
    }
    if (!delivered) {
        event->ignore();
        return;
    }
    event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void DecisionTreeView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (!dropTarget_ || !dropTarget_->indicatorBand) return;
    const auto& band = *dropTarget_->indicatorBand;
    const auto geometry = DropTargeting::indicatorGeometry(band);
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(indicatorColor, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.drawEllipse(QRectF(geometry.circle.x, geometry.circle.y, geometry.circle.width, geometry.circle.height));
    painter.drawLine(QPointF(geometry.lineFrom.x, geometry.lineFrom.y), QPointF(geometry.lineTo.x, geometry.lineTo.y));
}

} // namespace tavlin
