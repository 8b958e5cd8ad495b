#pragma once

#include <optional>

#include <QtCore/QPoint>
#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

#include "platform/desktop/InputWindow.h"

namespace tavlin::qt {

// The floating input panel: a frameless, always-on-top window that is "key" while it is shown
// and holds the keyboard. It grabs the keyboard as soon as it is made key, retrying while
// another grab (the leader key's own) is still held, so no key typed next is lost. It never
// takes the input focus: the window that had it keeps it, and gets the keys again when the
// grab is released. A modal window of this program shown during a session ends it. Its height
// follows its content; its width is the user's. Frames are given as the program's screen frames
// are: origin at the bottom-left, y growing upwards, from the primary screen's bottom edge.
class QtInputWindow final : public QWidget, public InputWindow {
public:
    QtInputWindow();
    ~QtInputWindow() override;

    // The window's content; owned by the window from then on.
    void setContent(QWidget* content);

    void setDelegate(InputWindowDelegate* delegate) override { delegate_ = delegate; }
    bool isKeyWindow() const override { return key_; }
    void makeKeyAndOrderFront() override;
    void orderOut() override;

    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    void setFrameTopLeftPoint(const Point& point) override;
    void center() override;
    std::optional<Rect> visibleScreenFrame() const override;

    // A mouse button went down somewhere on the screen: outside this window it ends the session.
    void pointerPressedAt(const QPoint& globalPosition);
    // Whether the keyboard grab is held now (false without X11).
    bool holdsKeyboard() const;

    // Between the screen frames of the program and Qt's global geometry.
    static QRect geometryOfFrame(const Rect& frame);
    static Rect frameOfGeometry(const QRect& geometry);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitHeightToContent();
    void tryGrab();
    static std::optional<int> reportedKeyCode(const QKeyEvent& event);

    InputWindowDelegate* delegate_ = nullptr;
    QWidget* content_ = nullptr;
    bool key_ = false;
    bool grabbed_ = false;
    QTimer grabRetry_;
    int grabAttempts_ = 0;
    std::optional<QPoint> dragOffset_;
};

} // namespace tavlin::qt
