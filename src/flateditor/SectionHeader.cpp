#include "flateditor/SectionHeader.h"

#include <QPainter>
#include <QStyleOptionViewItem>

#include "actionediting/ApplicationInfo.h"
#include "flateditor/RowSections.h"
#include "flateditor/SymbolIcons.h"

namespace tavlin::flateditor {
namespace {

constexpr int iconSize = 16;
constexpr int iconSpacing = 6;
constexpr int margin = 6;
constexpr int nameSpacing = 4; // between an application's icon and its name

QRect centredSquare(const QRect& area, int left, int size) {
    return QRect(left, area.top() + (area.height() - size) / 2, size, size);
}

} // namespace

SectionHeader::SectionHeader(FlatKeysAndActionRow::ApplicationScope appScope, std::vector<QString> names)
    : appScope_(std::move(appScope)), paths_(sectionHeaderPaths(appScope_)), names_(std::move(names)) {
    if (names_.size() == paths_.size()) return;
    names_.clear();
    for (const auto& path : paths_) names_.push_back(ApplicationInfo::name(path));
}

QString SectionHeader::title() const { return QString::fromStdString(sectionHeaderTitle(appScope_)); }

std::string SectionHeader::symbolName() const { return sectionHeaderSymbol(appScope_); }

QString SectionHeader::accessibleText() const {
    QString text = title();
    for (const auto& path : paths_) {
        // By the entry's name; a path that names none stays a path.
        const auto entry = ApplicationInfo::entry(path);
        text += QLatin1Char(' ') +
                (entry && !entry->name.empty() ? ApplicationInfo::nameForEntry(*entry) : QString::fromStdString(path));
    }
    return text;
}

QRect SectionHeader::symbolRect(const QStyleOptionViewItem& option) const {
    return centredSquare(option.rect, option.rect.left() + margin, iconSize);
}

std::vector<QRect> SectionHeader::iconRects(const QStyleOptionViewItem& option) const {
    const QRect symbol = symbolRect(option);
    int left = symbol.right() + 1 + margin + option.fontMetrics.horizontalAdvance(title()) + margin;
    std::vector<QRect> rects;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        rects.push_back(centredSquare(option.rect, left, iconSize));
        left += iconSize + nameSpacing + option.fontMetrics.horizontalAdvance(names_[i]) + 2 * iconSpacing;
    }
    return rects;
}

std::vector<QRect> SectionHeader::nameRects(const QStyleOptionViewItem& option) const {
    std::vector<QRect> rects;
    const auto icons = iconRects(option);
    for (std::size_t i = 0; i < icons.size(); ++i)
        rects.emplace_back(icons[i].right() + 1 + nameSpacing, option.rect.top(), option.fontMetrics.horizontalAdvance(names_[i]),
                           option.rect.height());
    return rects;
}

std::optional<QString> SectionHeader::tooltipAt(const QStyleOptionViewItem& option, const QPoint& point) const {
    const auto icons = iconRects(option);
    const auto names = nameRects(option);
    for (std::size_t i = 0; i < icons.size(); ++i)
        if (icons[i].contains(point) || names[i].contains(point))
            return QString::fromStdString(sectionHeaderIconTooltip(appScope_, paths_[i]));
    return std::nullopt;
}

void SectionHeader::paint(QPainter* painter, const QStyleOptionViewItem& option, const std::vector<QIcon>& icons) const {
    painter->save();
    const QRect symbol = symbolRect(option);
    symbolIcon(symbolName()).paint(painter, symbol);
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
    const QRect titleRect(symbol.right() + 1 + margin, option.rect.top(), option.fontMetrics.horizontalAdvance(title()) + margin,
                          option.rect.height());
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
    const auto rects = iconRects(option);
    const auto names = nameRects(option);
    const bool grey = sectionHeaderIconsInGrayscale(appScope_);
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    for (std::size_t i = 0; i < rects.size() && i < icons.size(); ++i) {
        QPixmap pixmap = icons[i].pixmap(QSize(iconSize, iconSize), ratio);
        if (grey) pixmap = grayscale(pixmap);
        painter->drawPixmap(rects[i], pixmap);
        painter->drawText(names[i], Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, names_[i]);
    }
    painter->restore();
}

} // namespace tavlin::flateditor
