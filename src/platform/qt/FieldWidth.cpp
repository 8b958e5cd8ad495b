#include "platform/qt/FieldWidth.h"

#include <algorithm>

#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyle>

namespace tavlin::qt {

int fieldWidthFor(const QLineEdit& field, const QString& text) {
    const QFontMetrics metrics = field.fontMetrics();
    // Qt sizes a field for 17 'x': whatever else its hint holds is frame and margins.
    const int chrome = field.QLineEdit::sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    const int icon = field.style()->pixelMetric(QStyle::PM_LineEditIconSize, nullptr, &field) + 6 +
                     field.style()->pixelMetric(QStyle::PM_LineEditIconMargin, nullptr, &field);
    return chrome + icon + metrics.horizontalAdvance(text);
}

void keepPlaceholderWhole(QLineEdit& field) {
    if (field.placeholderText().isEmpty()) return;
    field.setMinimumWidth(std::max(field.minimumWidth(), fieldWidthFor(field, field.placeholderText())));
}

} // namespace tavlin::qt
