#pragma once

#include <functional>
#include <string>

#include <QWidget>

class QGroupBox;
class QLineEdit;
class QTextEdit;
class QTimer;

namespace tavlin::flateditor {

// The action's description in the row sheet: one line of Markdown or HTML and, while it holds
// anything, its "Preview" rendered as the list renders descriptions (nothing is ever loaded).
class ActionDescriptionEditorView final : public QWidget {
public:
    ActionDescriptionEditorView(const std::string& description, std::function<void(const std::string&)> changed,
                                QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QGroupBox* previewGroup() const { return previewGroup_; }
    QTextEdit* preview() const { return preview_; }
    // Renders now what a pause in typing, or the preview's showing, would render.
    void renderPreview();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool renderPending_ = false;
    std::function<void(const std::string&)> changed_;
    QLineEdit* field_ = nullptr;
    QGroupBox* previewGroup_ = nullptr;
    QTextEdit* preview_ = nullptr;
    QTimer* renderTimer_ = nullptr;
};

} // namespace tavlin::flateditor
