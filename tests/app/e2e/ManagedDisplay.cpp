#include "e2e/ManagedDisplay.h"

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"

namespace tavlin::e2e {
namespace {

std::optional<unsigned long> windowProperty(Display* d, Window window, const char* name, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 1, False, type, &actual, &format, &count, &remaining,
                           &data) != Success)
        return std::nullopt;
    std::optional<unsigned long> value;
    if (data && count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
    if (data) XFree(data);
    return value;
}

} // namespace

DisplayForChildren::DisplayForChildren(const std::string& name) : previous_(std::getenv("DISPLAY")) {
    ::setenv("DISPLAY", name.c_str(), 1);
}

DisplayForChildren::~DisplayForChildren() { ::setenv("DISPLAY", previous_.c_str(), 1); }

std::unique_ptr<ManagedDisplay> ManagedDisplay::start(const AppHome& home, const std::string& screenSize) {
    std::unique_ptr<ManagedDisplay> result(new ManagedDisplay);
    // Xvfb writes its display number once it accepts connections.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
    result->server_.emplace("Xvfb",
                            std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", screenSize + "x24"},
                            home, "", ends[1]);
    ::close(ends[1]);
    std::string number;
    pollfd readable{ends[0], POLLIN, 0};
    char c = 0;
    while (::poll(&readable, 1, 20000) > 0 && ::read(ends[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(ends[0]);
    if (number.empty() || !(result->display_ = XOpenDisplay((":" + number).c_str()))) return nullptr;
    result->name_ = ":" + number;
    {
        const DisplayForChildren on(result->name_);
        result->windowManager_.emplace("openbox", std::vector<std::string>{"--sm-disable"}, home, "");
    }
    Display* d = result->display_;
    const bool managed = pollUntil(
        [&] { return windowProperty(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).has_value(); },
        std::chrono::seconds(10));
    return managed ? std::move(result) : nullptr;
}

ManagedDisplay::~ManagedDisplay() {
    if (display_) XCloseDisplay(display_);
    windowManager_.reset();
    server_.reset();
}

bool ManagedDisplay::coverWithWindow() {
    Display* d = display_;
    window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1280, 800, 0, 0, 0);
    XStoreName(d, window_, "Another program");
    XMapWindow(d, window_);
    XSync(d, False);
    return activate(window_);
}

bool ManagedDisplay::activate(unsigned long window) {
    Display* d = display_;
    const Window root = DefaultRootWindow(d);
    return pollUntil(
        [&] {
            if (activeWindow() == window && activeWindowIsOnTop()) return true;
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2; // as a task list asks
            XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            XSync(d, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return false;
        },
        std::chrono::seconds(10));
}

void ManagedDisplay::press(unsigned int xKeycode) {
    XTestFakeKeyEvent(display_, xKeycode, True, CurrentTime);
    XFlush(display_);
}

void ManagedDisplay::release(unsigned int xKeycode) {
    XTestFakeKeyEvent(display_, xKeycode, False, CurrentTime);
    XFlush(display_);
}

bool ManagedDisplay::keyIsFree(unsigned int xKeycode, unsigned int xModifiers) {
    return tryKeyGrab(display_, xKeycode, xModifiers, false);
}

std::optional<unsigned long> ManagedDisplay::activeWindow() {
    return windowProperty(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW", XA_WINDOW);
}

std::optional<pid_t> ManagedDisplay::activeProcess() {
    const auto window = activeWindow();
    if (!window || *window == None) return std::nullopt;
    const auto pid = windowProperty(display_, *window, "_NET_WM_PID", XA_CARDINAL);
    if (!pid) return std::nullopt;
    return static_cast<pid_t>(*pid);
}

bool ManagedDisplay::activeWindowIsOnTop() {
    Display* d = display_;
    const auto active = activeWindow();
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (!active || XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False), 0, 4096, False,
                                      XA_WINDOW, &actual, &format, &count, &remaining, &data) != Success)
        return false;
    const bool onTop = data && format == 32 && count > 0 && reinterpret_cast<unsigned long*>(data)[count - 1] == *active;
    if (data) XFree(data);
    return onTop;
}

std::string ManagedDisplay::activeWindowName() {
    const auto active = activeWindow();
    char* name = nullptr;
    if (!active || *active == None || !XFetchName(display_, *active, &name) || !name) return {};
    std::string result(name);
    XFree(name);
    return result;
}

bool ManagedDisplay::activeWindowFitsTheScreen() {
    Display* d = display_;
    const auto active = activeWindow();
    XWindowAttributes window{}, root{};
    if (!active || *active == None || !XGetWindowAttributes(d, *active, &window) ||
        !XGetWindowAttributes(d, DefaultRootWindow(d), &root))
        return false;
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(d, *active, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    // Left, right, top and bottom.
    long extents[4] = {0, 0, 0, 0};
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, *active, XInternAtom(d, "_NET_FRAME_EXTENTS", False), 0, 4, False, XA_CARDINAL, &actual, &format,
                           &count, &remaining, &data) != Success ||
        !data || count != 4) {
        if (data) XFree(data);
        return false;
    }
    for (int i = 0; i < 4; ++i) extents[i] = reinterpret_cast<long*>(data)[i];
    XFree(data);
    return x - extents[0] >= 0 && y - extents[2] >= 0 && x + window.width + extents[1] <= root.width &&
           y + window.height + extents[3] <= root.height;
}

} // namespace tavlin::e2e
