#pragma once

#include <QWidget>

#include "shortcutkit/qt/RecorderControl.h"

class QLabel;

namespace tavlin::shortcutkit {

// A recorder control on one row, after its label when it has one.
class Recorder : public QWidget {
public:
    Recorder(Name name, RecorderControl::OnChange onChange = {}, QWidget* parent = nullptr);
    Recorder(const QString& title, Name name, RecorderControl::OnChange onChange = {}, QWidget* parent = nullptr);

    RecorderControl* control() const { return control_; }
    QLabel* label() const { return label_; }
    bool hasLabel() const { return label_ != nullptr; }

private:
    RecorderControl* control_ = nullptr;
    QLabel* label_ = nullptr;
};

} // namespace tavlin::shortcutkit
