#pragma once

#include <optional>
#include <string>

namespace tavlin {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    double x = 0; // origin: bottom-left corner, y growing upwards, as screen frames are given
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
    bool contains(const Rect& other) const {
        return other.x >= x && other.y >= y && other.x + other.width <= x + width && other.y + other.height <= y + height;
    }
};

// What the floating input window reports to its owner.
class InputWindowDelegate {
public:
    virtual ~InputWindowDelegate() = default;
    // Called after the window became key (it holds the keyboard).
    virtual void inputWindowDidBecomeKey() = 0;
    // Called after the window stopped being key; it has ordered itself out by then.
    virtual void inputWindowDidResignKey() = 0;
    virtual void inputWindowKeyDown(int keyCode) = 0;
    virtual void inputWindowKeyUp(int keyCode) = 0;
};

// The floating panel in which a key sequence takes its keys. A session lasts exactly as long as
// it is key. Making it key calls the delegate synchronously, as ordering it out does.
class InputWindow {
public:
    virtual ~InputWindow() = default;
    virtual void setDelegate(InputWindowDelegate* delegate) = 0;
    virtual bool isKeyWindow() const = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual void orderOut() = 0;

    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;
    virtual void setFrameTopLeftPoint(const Point& point) = 0;
    virtual void center() = 0;
    // The visible frame of the window's screen (or the main screen); nothing without a screen.
    virtual std::optional<Rect> visibleScreenFrame() const = 0;
};

// The small always-on-top window that shows the current leader key during a session.
class IndicatorWindow {
public:
    virtual ~IndicatorWindow() = default;
    // Shows the text with its top-left corner at the top-left of the main screen.
    virtual void show(const std::string& text) = 0;
    virtual void orderOut() = 0;
};

} // namespace tavlin
