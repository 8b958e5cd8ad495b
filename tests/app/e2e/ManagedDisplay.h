#pragma once

// An X server of its own with a window manager (openbox) on it: what a desktop does with
// activation requests shows only under a window manager, and one on the shared server would
// change what every other test sees. Xlib stays out of this header (see XDriver.h).

#include <memory>
#include <optional>
#include <string>

#include "e2e/AppDriver.h"

using XDisplay = struct _XDisplay;

namespace tavlin::e2e {

// Processes started while it lives run on that display.
class DisplayForChildren {
public:
    explicit DisplayForChildren(const std::string& name);
    ~DisplayForChildren();

private:
    std::string previous_;
};

class ManagedDisplay {
public:
    // Null when Xvfb or openbox cannot be started. The screen is `screenSize` ("WxH") pixels.
    static std::unique_ptr<ManagedDisplay> start(const AppHome& home, const std::string& screenSize = "1280x800");
    ~ManagedDisplay();

    // ":N", for $DISPLAY.
    const std::string& name() const { return name_; }
    // Maps a window of another program and has the window manager activate it, over every
    // other window; answers whether it became the active one.
    bool coverWithWindow();
    // Has the window manager activate another program's window, as a task list asks; answers
    // whether it became the active one.
    bool activate(unsigned long window);
    // Keys typed through XTest, to whatever window has the focus.
    void press(unsigned int xKeycode);
    void release(unsigned int xKeycode);
    // Whether no client holds a passive grab of the key with these X modifiers: tries one of its
    // own and lets go at once.
    bool keyIsFree(unsigned int xKeycode, unsigned int xModifiers);
    // The process of the active window, and whether that window is the topmost one.
    std::optional<pid_t> activeProcess();
    bool activeWindowIsOnTop();
    // The active window's title, and whether the whole of it, the window manager's frame
    // included, lies on the screen.
    std::string activeWindowName();
    bool activeWindowFitsTheScreen();

private:
    ManagedDisplay() = default;
    std::optional<unsigned long> activeWindow();

    std::string name_;
    std::optional<AppProcess> server_;
    std::optional<AppProcess> windowManager_;
    XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
};

} // namespace tavlin::e2e
