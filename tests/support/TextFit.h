#pragma once

#include <gtest/gtest.h>

#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace tavlin::test {

// Whether a single-line field shows `text` whole: its width less the frame and margins a plain
// field of its font has holds the text.
inline bool showsWhole(const QLineEdit& field, const QString& text) {
    QLineEdit plain;
    plain.setFont(field.font());
    const int chrome = plain.sizeHint().width() - 17 * plain.fontMetrics().horizontalAdvance(QLatin1Char('x'));
    return field.width() - chrome >= field.fontMetrics().horizontalAdvance(text);
}

// Every group of a window draws its title one way and whole: not as a group box's title, which
// has one line, but as labels inside the frame, each as tall as its lines.
inline void expectGroupTitlesWhole(const QWidget& window) {
    for (const QGroupBox* box : window.findChildren<QGroupBox*>()) {
        if (!box->isVisibleTo(&window)) continue;
        EXPECT_TRUE(box->title().isEmpty()) << box->title().toStdString();
        for (const QLabel* label : box->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->isVisibleTo(&window)) {
                EXPECT_TRUE(label->height() >= label->sizeHint().height() && box->contentsRect().contains(label->geometry()))
                    << label->text().toStdString();
            }
    }
}

} // namespace tavlin::test
