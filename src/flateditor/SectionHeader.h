#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QRect>
#include <QString>

#include "model/FlatKeysAndActionRow.h"

class QPainter;
class QStyleOptionViewItem;

namespace tavlin::flateditor {

// The header above one section of the flat list: the scope's symbol, its title, and one icon
// per application it names (without colour when the scope excludes them).
class SectionHeader {
public:
    explicit SectionHeader(FlatKeysAndActionRow::ApplicationScope appScope);

    const FlatKeysAndActionRow::ApplicationScope& appScope() const { return appScope_; }
    QString title() const;
    std::string symbolName() const;
    // The paths in the order their icons show.
    const std::vector<std::string>& paths() const { return paths_; }
    // Title and paths, for accessibility.
    QString accessibleText() const;

    // Where the header's parts sit in `rect`, for the font of `option`.
    QRect symbolRect(const QStyleOptionViewItem& option) const;
    std::vector<QRect> iconRects(const QStyleOptionViewItem& option) const;
    // The tooltip at a point: an icon's sentence, or nothing.
    std::optional<QString> tooltipAt(const QStyleOptionViewItem& option, const QPoint& point) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const std::vector<QIcon>& icons) const;

private:
    FlatKeysAndActionRow::ApplicationScope appScope_;
    std::vector<std::string> paths_;
};

} // namespace tavlin::flateditor
