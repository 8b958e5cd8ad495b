#pragma once

#include <string>

#include <QLabel>
#include <QWidget>

class QPushButton;

namespace tavlin {

// A chosen path shown as plain text, or an application by its name with the path in the tool
// tip. A double click, or Return, Enter or Space while it has the focus, reveals it in the file
// manager; a single click does nothing, so the text can be selected without opening anything.
class PathLabel final : public QLabel {
public:
    explicit PathLabel(QWidget* parent = nullptr);

    // Hidden while the path is empty. `name` stands for the path where one is known.
    void setPath(const std::string& path, const QString& name = {});
    const std::string& path() const { return path_; }
    void reveal() const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::string path_;
};

// One path parameter: an optional leading title ("Open with: "), the path, and the button that
// chooses it. What the button does belongs to the caller. A row of an application shows the
// name and icon of its desktop entry; a path it cannot read as one shows as it is.
class PathRow final : public QWidget {
public:
    PathRow(const QString& title, const QString& buttonTitle, const std::string& path, QWidget* parent = nullptr,
            bool application = false);

    void setPath(const std::string& path);
    PathLabel* pathLabel() const { return label_; }
    // An application's icon; none in rows of other paths.
    QLabel* iconLabel() const { return icon_; }
    QPushButton* button() const { return button_; }

private:
    bool application_ = false;
    QLabel* icon_ = nullptr;
    PathLabel* label_ = nullptr;
    QPushButton* button_ = nullptr;
};

} // namespace tavlin
