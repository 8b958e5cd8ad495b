#include "actionediting/SheetGroup.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include "platform/qt/PlainText.h"

namespace tavlin {

SheetGroup::SheetGroup(const QString& title, QWidget* parent) : QGroupBox(parent) {
    layout_ = new QVBoxLayout(this);
    titleLabel_ = qt::plainLabel(QString(), this);
    layout_->addWidget(titleLabel_);
    setTitleText(title);
}

void SheetGroup::setTitleText(const QString& title) {
    titleLabel_->setText(title);
    titleLabel_->setVisible(!title.isEmpty());
    setAccessibleName(QString(title).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

} // namespace tavlin
