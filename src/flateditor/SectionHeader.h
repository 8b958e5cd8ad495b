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

// The header above one section of the flat list: the scope's symbol, its title, and each
// application it names, by icon (without colour when the scope excludes them) and name.
class SectionHeader {
public:
    // `names` are the applications' names in the order of `paths()`; read from their entries
    // when not given.
    explicit SectionHeader(FlatKeysAndActionRow::ApplicationScope appScope, std::vector<QString> names = {});

    const FlatKeysAndActionRow::ApplicationScope& appScope() const { return appScope_; }
    QString title() const;
    std::string symbolName() const;
    // The paths in the order their icons show.
    const std::vector<std::string>& paths() const { return paths_; }
    // The title and the applications' entries' names (or their paths, where an entry names
    // none), for accessibility; their tool tips give the paths.
    QString accessibleText() const;

    // Where the header's parts sit in `rect`, for the font of `option`.
    QRect symbolRect(const QStyleOptionViewItem& option) const;
    std::vector<QRect> iconRects(const QStyleOptionViewItem& option) const;
    std::vector<QRect> nameRects(const QStyleOptionViewItem& option) const;
    // The tooltip at a point: an application's sentence, over its icon or name, or nothing.
    std::optional<QString> tooltipAt(const QStyleOptionViewItem& option, const QPoint& point) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const std::vector<QIcon>& icons) const;

private:
    FlatKeysAndActionRow::ApplicationScope appScope_;
    std::vector<std::string> paths_;
    std::vector<QString> names_;
};

} // namespace tavlin::flateditor
