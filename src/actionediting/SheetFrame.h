#pragma once

#include <QtWidgets/QDialog>

class QHBoxLayout;
class QPushButton;

namespace tavlin {

// The frame every sheet of both windows shares: a window-modal dialog with its title, the
// content the sheet supplies and the Save and Cancel pair. Escape and the close box cancel.
class SheetFrame : public QDialog {
public:
    struct Keys {
        // Save is the default button, so Return saves; without it no button is ever the
        // default one and Return saves nothing.
        bool returnSaves = true;
        // Ctrl+S saves, as Save's tool tip says.
        bool controlSSaves = false;
    };

    SheetFrame(const QString& title, Keys keys, QWidget* parent);

    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

protected:
    // What Save and its keys do.
    virtual void save() = 0;

    // The row of buttons under the content: `leading` and a stretch, then Save (unless
    // `withSave` is false, as for a sheet that only shows) and Cancel, and a stretch after them
    // when `centred`.
    QHBoxLayout* makeButtons(bool withSave, bool centred, QWidget* leading = nullptr);
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* makeButton(const QString& title);

    Keys keys_;
    QPushButton* saveButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace tavlin
