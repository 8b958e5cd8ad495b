#include "platform/qt/PlainText.h"

#include <QtGui/QTextDocument>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

namespace tavlin::qt {

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

void showPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

QString toolTipText(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

} // namespace tavlin::qt
