#include "flateditor/KeysAndActionRowView.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QToolTip>

#include "actionediting/ApplicationInfo.h"
#include "engine/ui/MarkdownText.h"
#include "flateditor/RowTexts.h"
#include "flateditor/SectionHeader.h"
#include "flateditor/SymbolIcons.h"
#include "model/LaidOutText.h"
#include "platform/qt/PlainText.h"

namespace tavlin::flateditor {
namespace {

constexpr int toggleWidth = 20;
// The badges' column: as wide as the widest badge needs, between these; beyond, the leader key
// is shortened.
constexpr int narrowestBadgeArea = 100;
constexpr int widestBadgeArea = 240;
constexpr int spacing = 6;
constexpr int leading = 4;

const QColor badgeFill = QColor::fromRgbF(0.42f, 0.42f, 0.42f);
const QColor badgeText = QColor::fromRgbF(0.96f, 0.96f, 0.96f);

QFont monospaced(const QFont& font) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() : mono.pointSizeF());
    return mono;
}

QString text(const std::string& value) { return QString::fromStdString(value); }

} // namespace

KeysAndActionRowView::KeysAndActionRowView(const std::vector<Section>* sections, QObject* parent)
    : QStyledItemDelegate(parent), sections_(sections) {}

KeysAndActionRowView::~KeysAndActionRowView() = default;

const Section* KeysAndActionRowView::sectionAt(const QModelIndex& index) const {
    const int section = index.data(sectionRole).toInt();
    if (!index.isValid() || section < 0 || static_cast<std::size_t>(section) >= sections_->size()) return nullptr;
    return &(*sections_)[static_cast<std::size_t>(section)];
}

const FlatKeysAndActionRow* KeysAndActionRowView::rowAt(const QModelIndex& index) const {
    if (index.data(kindRole).toInt() != static_cast<int>(Kind::row)) return nullptr;
    const Section* section = sectionAt(index);
    const int row = index.data(rowRole).toInt();
    if (!section || row < 0 || static_cast<std::size_t>(row) >= section->rows.size()) return nullptr;
    return &section->rows[static_cast<std::size_t>(row)];
}

QRect KeysAndActionRowView::toggleRect(const QStyleOptionViewItem& option) const {
    return QRect(option.rect.left() + leading, option.rect.top(), toggleWidth, option.rect.height());
}

QRect KeysAndActionRowView::badgeAreaRect(const QStyleOptionViewItem& option) const {
    const QRect toggle = toggleRect(option);
    return QRect(toggle.right() + 1 + spacing, option.rect.top(), badgeArea_, option.rect.height());
}

QRect KeysAndActionRowView::actionRect(const QStyleOptionViewItem& option) const {
    const QRect badge = badgeAreaRect(option);
    const int left = badge.right() + 1 + spacing;
    return QRect(left, option.rect.top(), std::max(0, option.rect.right() - left), option.rect.height());
}

void KeysAndActionRowView::fitBadgeColumn(const QFont& font) {
    const QFontMetrics metrics(font);
    const QFontMetrics monoMetrics(monospaced(font));
    int widest = 0;
    for (const auto& section : *sections_)
        for (const auto& row : section.rows) {
            const QString names = text(badgeKeyNames(row.keys));
            const int leader = leaderKeyShowsSpaceSymbol(row.leaderKey)
                                   ? 9
                                   : metrics.horizontalAdvance(text(shownText(row.leaderKey)));
            const int keys = names.isEmpty() ? 0
                                             : metrics.horizontalAdvance(QLatin1Char(' ')) + monoMetrics.horizontalAdvance(names);
            // A few pixels spare: at a fractional scale the advances add up to a little more.
            widest = std::max(widest, leader + keys + 16 + 4);
            if (widest >= widestBadgeArea) break;
        }
    badgeArea_ = std::clamp(widest, narrowestBadgeArea, widestBadgeArea);
}

void KeysAndActionRowView::clearCaches() {
    descriptions_.clear();
    icons_.clear();
    names_.clear();
}

QTextDocument& KeysAndActionRowView::description(std::string_view value) const {
    const QString key = renderingKey(value);
    auto found = descriptions_.find(key);
    if (found == descriptions_.end()) {
        auto document = std::make_shared<InertTextDocument>();
        document->setDocumentMargin(0);
        document->setHtml(markdownHtml(value));
        found = descriptions_.insert(key, document);
    }
    return **found;
}

std::vector<QString> KeysAndActionRowView::headerNames(const Section& section) const {
    std::vector<QString> names;
    for (const auto& path : sectionHeaderPaths(section.sectionAppScope)) {
        const QString key = text(path);
        auto found = names_.find(key);
        if (found == names_.end()) found = names_.insert(key, ApplicationInfo::name(path));
        names.push_back(*found);
    }
    return names;
}

const std::vector<QIcon>& KeysAndActionRowView::headerIcons(const Section& section) const {
    iconScratch_.clear();
    for (const auto& path : sectionHeaderPaths(section.sectionAppScope)) {
        const QString key = text(path);
        auto found = icons_.find(key);
        if (found == icons_.end()) found = icons_.insert(key, ApplicationInfo::icon(path));
        iconScratch_.push_back(*found);
    }
    return iconScratch_;
}

void KeysAndActionRowView::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background(option);
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    if (const FlatKeysAndActionRow* row = rowAt(index)) {
        paintRow(painter, option, *row);
        return;
    }
    if (const Section* section = sectionAt(index))
        SectionHeader(section->sectionAppScope, headerNames(*section)).paint(painter, option, headerIcons(*section));
}

void KeysAndActionRowView::paintRow(QPainter* painter, const QStyleOptionViewItem& option,
                                    const FlatKeysAndActionRow& row) const {
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    QStyleOptionViewItem check(option);
    const QRect toggle = toggleRect(option);
    const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget);
    check.rect = QRect(toggle.left() + (toggle.width() - indicator) / 2, toggle.top() + (toggle.height() - indicator) / 2,
                       indicator, indicator);
    check.state = (option.state & ~(QStyle::State_On | QStyle::State_Off)) | (row.enabled ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);

    painter->save();
    // A binding switched off is drawn greyed, not only with its box unticked.
    const qreal dimmed = row.enabled ? 1.0 : 0.5;
    // The badge: the leader key, then the trigger-key names, on a rounded grey plate.
    const QRect area = badgeAreaRect(option);
    const QFontMetrics metrics(option.font);
    const QFont mono = monospaced(option.font);
    const QFontMetrics monoMetrics(mono);
    const bool space = leaderKeyShowsSpaceSymbol(row.leaderKey);
    // A badge wider than its column is cut with an ellipsis, the leader key first: the trigger
    // keys tell the rows apart. The tooltip tells it whole.
    const int room = area.width() - 16;
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    const QString allNames = text(badgeKeyNames(row.keys));
    const int namesWanted = allNames.isEmpty() ? 0 : gap + monoMetrics.horizontalAdvance(allNames);
    const QString leader = metrics.elidedText(text(shownText(row.leaderKey)), Qt::ElideMiddle,
                                              std::max(room - namesWanted, metrics.horizontalAdvance(QChar(0x2026)) * 2));
    const int leaderWidth = space ? 9 : metrics.horizontalAdvance(leader);
    const int namesRoom = room - leaderWidth - gap;
    const QString names = namesRoom <= 0 ? QString() : monoMetrics.elidedText(allNames, Qt::ElideRight, namesRoom);
    const int namesWidth = names.isEmpty() ? 0
                                           : metrics.horizontalAdvance(QLatin1Char(' ')) + monoMetrics.horizontalAdvance(names);
    const int height = std::max(metrics.height(), monoMetrics.height()) + 4;
    const QRect badge(area.left(), area.top() + (area.height() - height) / 2,
                      std::min(area.width(), leaderWidth + namesWidth + 16), height);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setOpacity(dimmed);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(badge), 4, 4);
    painter->fillPath(plate, badgeFill);
    painter->setClipRect(badge);
    painter->setPen(badgeText);
    QRect content = badge.adjusted(8, 2, -8, -2);
    painter->setOpacity(dimmed * leaderKeyOpacity(row.leaderKey));
    if (space) {
        const QRect symbol(content.left(), content.top() + (content.height() - 9) / 2, 9, 9);
        symbolIcon("square").paint(painter, symbol);
    } else {
        painter->setFont(option.font);
        painter->drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, leader);
    }
    painter->setOpacity(dimmed);
    if (!names.isEmpty()) {
        content.setLeft(content.left() + leaderWidth + metrics.horizontalAdvance(QLatin1Char(' ')));
        painter->setFont(mono);
        painter->drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, names);
    }
    painter->restore();

    // The action text: the rendered description, or the action's own line as plain text.
    painter->save();
    const QRect actionArea = actionRect(option);
    painter->setClipRect(actionArea);
    const QPalette::ColorGroup group = row.enabled ? option.palette.currentColorGroup() : QPalette::Disabled;
    const QColor textColour = option.palette.color(group, option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                                : QPalette::Text);
    if (const auto& described = row.action.actionDescription) {
        QTextDocument& document = description(*described);
        if (document.defaultFont() != option.font) document.setDefaultFont(option.font);
        painter->setFont(option.font);
        // Whole pixels, so the text sits as a label's would.
        const int top = actionArea.top() + (actionArea.height() - metrics.height()) / 2;
        painter->translate(actionArea.left(), top);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = option.palette;
        context.palette.setCurrentColorGroup(group);
        context.palette.setColor(QPalette::Text, textColour);
        drawOneLine(*painter, document, actionArea.width(), context);
    } else {
        painter->setPen(textColour);
        painter->setFont(option.font);
        painter->drawText(actionArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          metrics.elidedText(text(actionText(row.action).text), Qt::ElideRight, actionArea.width()));
    }
    painter->restore();
}

QSize KeysAndActionRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QFontMetrics metrics(option.font);
    return QSize(badgeArea_ + toggleWidth + 200, std::max(24, metrics.height() + 10));
}

std::optional<QString> KeysAndActionRowView::tooltipAt(const QModelIndex& index, const QStyleOptionViewItem& option,
                                                       const QPoint& point) const {
    if (const FlatKeysAndActionRow* row = rowAt(index)) {
        if (toggleRect(option).contains(point)) return text(enableToggleTooltip(row->enabled));
        if (badgeAreaRect(option).contains(point))
            return text(std::string(laidOutPart(leaderKeyExplanation(row->leaderKey, row->keys))));
        // The action's text names its application; the tool tip tells which file that is.
        if (actionRect(option).contains(point) && !row->action.actionDescription)
            if (const auto path = row->action.kind.applicationPath(); path && !path->empty()) return text(*path);
        return std::nullopt;
    }
    if (const Section* section = sectionAt(index))
        return SectionHeader(section->sectionAppScope, headerNames(*section)).tooltipAt(option, point);
    return std::nullopt;
}

bool KeysAndActionRowView::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(event, view, option, index);
    const auto tip = tooltipAt(index, option, event->pos());
    if (tip) QToolTip::showText(event->globalPos(), qt::toolTipText(*tip), view->viewport(), option.rect);
    else QToolTip::hideText();
    return true;
}

bool KeysAndActionRowView::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    const FlatKeysAndActionRow* row = rowAt(index);
    if (!row) return false;
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick ||
        event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !toggleRect(option).contains(mouse->position().toPoint())) return false;
        // The press and a double click on the toggle are its own, not the list's.
        if (event->type() != QEvent::MouseButtonRelease) return true;
        return model->setData(index, row->enabled ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    if (event->type() == QEvent::KeyPress) {
        // Space toggles the selected row, as a click on its toggle does.
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if ((key->key() != Qt::Key_Space && key->key() != Qt::Key_Select) || key->modifiers() != Qt::NoModifier) return false;
        if (!view || !view->selectionModel() || !view->selectionModel()->isSelected(index)) return false;
        return model->setData(index, row->enabled ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    return false;
}

} // namespace tavlin::flateditor
