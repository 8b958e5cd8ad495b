#pragma once

#include <QtWidgets/QGroupBox>

class QLabel;
class QVBoxLayout;

namespace tavlin {

// A framed group of a sheet, its title the first line or lines inside the frame. Every group
// of the sheets draws its title so: a group box draws its own title on one line, and a second
// line would run under the frame.
class SheetGroup final : public QGroupBox {
public:
    SheetGroup(const QString& title, QWidget* parent);

    QLabel* titleLabel() const { return titleLabel_; }
    void setTitleText(const QString& title);
    // Where the content goes, under the title.
    QVBoxLayout* contentLayout() const { return layout_; }

private:
    QLabel* titleLabel_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
};

} // namespace tavlin
