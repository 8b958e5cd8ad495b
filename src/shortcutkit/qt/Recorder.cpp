#include "shortcutkit/qt/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tavlin::shortcutkit {

Recorder::Recorder(Name name, RecorderControl::OnChange onChange, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    control_ = new RecorderControl(std::move(name), std::move(onChange), this);
    row->addWidget(control_);
}

Recorder::Recorder(const QString& title, Name name, RecorderControl::OnChange onChange, QWidget* parent)
    : Recorder(std::move(name), std::move(onChange), parent) {
    label_ = new QLabel(title, this);
    label_->setBuddy(control_);
    label_->setAccessibleName(title);
    control_->setAccessibleName(title);
    static_cast<QHBoxLayout*>(layout())->insertWidget(0, label_, 0, Qt::AlignBaseline);
}

} // namespace tavlin::shortcutkit
