#pragma once

#include <string>

#include <QLabel>
#include <QWidget>

class QPushButton;

namespace tavlin {

// A chosen path shown as plain text. A double click reveals it in the file manager; a single
// click does nothing, so the path can be selected without opening anything.
class PathLabel final : public QLabel {
public:
    explicit PathLabel(QWidget* parent = nullptr);

    // Hidden while the path is empty.
    void setPath(const std::string& path);
    const std::string& path() const { return path_; }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::string path_;
};

// One path parameter: an optional leading title ("Open with: "), the path, and the button that
// chooses it. What the button does belongs to the caller.
class PathRow final : public QWidget {
public:
    PathRow(const QString& title, const QString& buttonTitle, const std::string& path, QWidget* parent = nullptr);

    void setPath(const std::string& path) { label_->setPath(path); }
    PathLabel* pathLabel() const { return label_; }
    QPushButton* button() const { return button_; }

private:
    PathLabel* label_ = nullptr;
    QPushButton* button_ = nullptr;
};

} // namespace tavlin
