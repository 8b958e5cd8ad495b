#pragma once

#include <gtest/gtest.h>

#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
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

// Every group of a shown window draws its title one way and whole: not as a group box's title,
// which has one line, but as labels inside the frame, each as tall as its lines.
inline void expectGroupTitlesWhole(const QWidget& window) {
    for (const QGroupBox* box : window.findChildren<QGroupBox*>()) {
        if (!box->isVisibleTo(&window)) continue;
        EXPECT_TRUE(box->title().isEmpty()) << box->title().toStdString();
        for (const QLabel* label : box->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (!label->isVisibleTo(&window)) continue;
            EXPECT_GE(label->height(), label->sizeHint().height()) << label->text().toStdString();
            EXPECT_TRUE(box->contentsRect().contains(label->geometry())) << label->text().toStdString();
        }
    }
}

} // namespace tavlin::test
