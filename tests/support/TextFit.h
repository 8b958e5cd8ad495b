#pragma once

#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolButton>

namespace tavlin::test {

// The width a single-line field leaves its text: its own width less the frame and margins a
// plain field of its font has around its text, and less the icons it shows beside the text.
inline int textRoom(const QLineEdit& field) {
    QLineEdit plain;
    plain.setFont(field.font());
    const int chrome = plain.sizeHint().width() - 17 * plain.fontMetrics().horizontalAdvance(QLatin1Char('x'));
    int icons = 0;
    for (const QToolButton* icon : field.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (icon->isVisibleTo(&field))
            icons += icon->width() + field.style()->pixelMetric(QStyle::PM_LineEditIconMargin, nullptr, &field);
    return field.width() - chrome - icons;
}

// Whether the field shows `text` (its placeholder, say) whole.
inline bool showsWhole(const QLineEdit& field, const QString& text) {
    return textRoom(field) >= field.fontMetrics().horizontalAdvance(text);
}

} // namespace tavlin::test
