#pragma once

#include <functional>
#include <optional>

#include <QLineEdit>
#include <QPointer>

#include "platform/desktop/NotificationCenter.h"
#include "shortcutkit/Name.h"

class QAction;
class QKeyEvent;
class QMessageBox;
class QMouseEvent;
class QToolButton;
class QWindow;

namespace tavlin::shortcutkit {

// A field that records the shortcut of a name by having it pressed. While it has focus it
// records: it sees every key press first (an application event filter), holds the keyboard so
// combinations other programs grab reach it too, and refuses combinations without a modifier
// (beep) and those a main-menu item or another program uses (alert). It shows no text but the
// shortcut and takes no typing.
class RecorderControl : public QLineEdit {
    Q_OBJECT
public:
    using OnChange = std::function<void(const std::optional<Shortcut>&)>;

    static constexpr int minimumWidth = 130;

    explicit RecorderControl(Name name, OnChange onChange = {}, QWidget* parent = nullptr);
    ~RecorderControl() override;

    const Name& shortcutName() const { return name_; }
    // Shows the new name's shortcut when its text differs.
    void setShortcutName(Name name);

    // Called with the new shortcut after a recording, and with none after clearing.
    OnChange onChange;

    bool isRecording() const { return recording_; }
    // The button that clears the shortcut; shown only while there is one. Tab reaches it after
    // the field.
    QAction* clearAction() const { return clearAction_; }
    QToolButton* clearButton() const { return clearButton_; }

    QSize sizeHint() const override;

    // Seams for tests: the beep of a refused combination, and each conflict alert once opened.
    static void setBeep(std::function<void()> beep);
    static void setAlertOpened(std::function<void(QMessageBox*)> opened);

signals:
    void focusChanged(bool focused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showStoredShortcut();
    void updateClearButton();
    void startRecording();
    void endRecording();
    void blur();
    void clearShortcut();
    // Answers whether the event is swallowed.
    bool handleKeyPress(QKeyEvent& event);
    bool handleMouseRelease(QMouseEvent& event);
    void showAlert(const QString& message, const QString& informativeText);

    Name name_;
    QAction* clearAction_ = nullptr;
    QToolButton* clearButton_ = nullptr;
    NotificationCenter::Token observer_ = 0;
    bool shownOnce_ = false;
    bool recording_ = false;
    bool paintingClearButton_ = false;
    bool resumeAfterAlert_ = false; // the window's activation may give focus back once
    QPointer<QWindow> grabbedWindow_;
};

} // namespace tavlin::shortcutkit
