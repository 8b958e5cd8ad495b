#include "e2e/XDriver.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::e2e {
namespace {

std::optional<unsigned long> cardinalProperty(Display* display, Window window, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) != Success ||
        !data) {
        return std::nullopt;
    }
    std::optional<unsigned long> value;
    if (type == XA_CARDINAL && format == 32 && count == 1) value = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
    return value;
}

std::vector<Window> topLevelWindows(Display* display) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> windows;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) && children) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

// The window that has the input focus now (None or PointerRoot when no window has it).
Window inputFocus(Display* display) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

// The child of the root that holds `window`.
Window topLevelOf(Display* display, Window window) {
    const Window rootWindow = DefaultRootWindow(display);
    for (;;) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) return window;
        if (children) XFree(children);
        if (parent == rootWindow || parent == 0) return window;
        window = parent;
    }
}

// Xlib's default handler ends the process; a window that vanishes under a query is no error here.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

unsigned int xKey(int virtualKeyCode) { return keycodes::xKeycode(virtualKeyCode).value(); }
unsigned int xSuperKey() { return xKey(keycodes::command); }
unsigned int xControlKey() { return xKey(keycodes::control); }
unsigned int xAltKey() { return xKey(keycodes::option); }

std::unique_ptr<UserSeat> UserSeat::open() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSetErrorHandler(ignoreErrors);
    return std::unique_ptr<UserSeat>(new UserSeat(display));
}

UserSeat::UserSeat(XDisplay* display) : display_(display) {
    // In a corner, out of the way of the application's windows, which open at the top left and
    // in the middle: clicks meant for "somewhere else" land here.
    const int size = 120;
    XSetWindowAttributes attributes{};
    attributes.event_mask = FocusChangeMask | StructureNotifyMask | KeyPressMask;
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), screenWidth() - size - 20, screenHeight() - size - 20, size,
                            size, 0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    XStoreName(display_, window_, "tavlin e2e seat");
    focusHolder_ = window_;
    XMapRaised(display_, window_);
    XWindowAttributes state{};
    pollUntil([&] { return XGetWindowAttributes(display_, window_, &state) && state.map_state == IsViewable; },
              std::chrono::seconds(2));
}

void UserSeat::announceAsActiveWindow() {
    const unsigned long pid = static_cast<unsigned long>(::getpid());
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    const unsigned long window = window_;
    XChangeProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&window), 1);
    XSync(display_, False);
    announcedActive_ = true;
}

UserSeat::~UserSeat() {
    if (announcedActive_)
        XDeleteProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "_NET_ACTIVE_WINDOW", False));
    for (const unsigned int key : heldKeys_) XTestFakeKeyEvent(display_, key, False, CurrentTime);
    for (const unsigned int button : heldButtons_) XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    XCloseDisplay(display_);
}

int UserSeat::screenWidth() const { return DisplayWidth(display_, DefaultScreen(display_)); }
int UserSeat::screenHeight() const { return DisplayHeight(display_, DefaultScreen(display_)); }

bool UserSeat::focusIsOnWindowOf(pid_t pid) {
    const Window focus = inputFocus(display_);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display_) || focus == window_) return false;
    // Under a window manager the application's window sits in a frame of the manager's.
    if (cardinalProperty(display_, focus, "_NET_WM_PID") == static_cast<unsigned long>(pid)) return true;
    return cardinalProperty(display_, topLevelOf(display_, focus), "_NET_WM_PID") == static_cast<unsigned long>(pid);
}

bool UserSeat::focusIsIn(unsigned long window) {
    const Window focus = inputFocus(display_);
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(display_)) return false;
    return topLevelOf(display_, focus) == window;
}

bool UserSeat::takeFocusFrom(pid_t application, std::chrono::milliseconds limit) {
    keepsFocus_ = true;
    waitUntil([&] { return focusIsOnWindowOf(application); }, limit);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    return waitUntil([&] { return inputFocus(display_) == window_; });
}

bool UserSeat::followFocusOf(pid_t application, std::chrono::milliseconds limit) {
    keepsFocus_ = false;
    if (!waitUntil([&] { return focusIsOnWindowOf(application); }, limit)) return false;
    const Window focus = inputFocus(display_);
    followed_ = focus;
    XSelectInput(display_, focus, FocusChangeMask);
    XSync(display_, False);
    return focusIsOnWindowOf(application);
}

void UserSeat::watchWindowsOf(pid_t application) {
    for (const Window window : topLevelWindows(display_)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes)) continue;
        if (attributes.map_state != IsViewable || attributes.override_redirect) continue;
        if (cardinalProperty(display_, window, "_NET_WM_PID") != static_cast<unsigned long>(application)) continue;
        XSelectInput(display_, window, FocusChangeMask);
        watched_.insert(window);
    }
    XSync(display_, False);
}

namespace {
bool grabRefused = false;
int noteRefusal(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) grabRefused = true;
    return 0;
}
} // namespace

bool tryKeyGrab(XDisplay* display, unsigned int xKeycode, unsigned int xModifiers, bool keep) {
    XSync(display, False);
    grabRefused = false;
    const auto previous = XSetErrorHandler(noteRefusal);
    XGrabKey(display, static_cast<int>(xKeycode), xModifiers, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    const bool taken = !grabRefused;
    if (taken && !keep) XUngrabKey(display, static_cast<int>(xKeycode), xModifiers, DefaultRootWindow(display));
    XSync(display, False);
    XSetErrorHandler(previous);
    return taken;
}

bool UserSeat::canGrabKey(unsigned int xKeycode, unsigned int xModifiers) {
    return tryKeyGrab(display_, xKeycode, xModifiers, false);
}

bool UserSeat::holdKey(unsigned int xKeycode, unsigned int xModifiers) {
    return tryKeyGrab(display_, xKeycode, xModifiers, true);
}

unsigned int UserSeat::controlMask() { return ControlMask; }
unsigned int UserSeat::shiftMask() { return ShiftMask; }
unsigned int UserSeat::altMask() { return Mod1Mask; }

bool UserSeat::waitForFocusOn(pid_t application, std::chrono::milliseconds limit) {
    return waitUntil([&] { return focusIsOnWindowOf(application); }, limit);
}

void UserSeat::pump() {
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == KeyPress && event.xkey.window == window_) ++keysReceived_;
        if (event.type != FocusIn && event.type != FocusOut) continue;
        const XFocusChangeEvent& focus = event.xfocus;
        const bool ours = focus.window == window_;
        if ((!ours && (followed_ == 0 || focus.window != followed_) && !watched_.count(focus.window)) ||
            focus.detail == NotifyPointer || focus.detail == NotifyInferior)
            continue;
        if (focus.type == FocusOut && focus.mode == NotifyGrab) {
            ++counts_.grabs;
        } else if (focus.type == FocusIn && focus.mode == NotifyUngrab) {
            ++counts_.releases;
        } else if (ours && followed_ == 0 && keepsFocus_ && focusHolder_ == window_ && focus.type == FocusOut) {
            // Someone moved the focus itself: take it back, or the next grab would go unseen.
            XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
            XFlush(display_);
        }
    }
}

void UserSeat::waitForEvents(std::chrono::milliseconds limit) {
    pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(limit.count()));
}

bool UserSeat::waitForGrabs(Counts since, int count, std::chrono::milliseconds limit) {
    return waitUntil([&] { return counts_.grabs >= since.grabs + count; }, limit);
}

bool UserSeat::waitForReleases(Counts since, int count, std::chrono::milliseconds limit) {
    return waitUntil([&] { return counts_.releases >= since.releases + count; }, limit);
}

void UserSeat::press(unsigned int xKeycode) {
    XTestFakeKeyEvent(display_, xKeycode, True, CurrentTime);
    XFlush(display_);
    heldKeys_.insert(xKeycode);
}

void UserSeat::release(unsigned int xKeycode) {
    XTestFakeKeyEvent(display_, xKeycode, False, CurrentTime);
    XFlush(display_);
    heldKeys_.erase(xKeycode);
}

void UserSeat::tap(unsigned int xKeycode) {
    press(xKeycode);
    release(xKeycode);
}

void UserSeat::chord(std::initializer_list<unsigned int> xKeycodes) {
    for (const unsigned int key : xKeycodes) press(key);
    for (auto key = std::rbegin(xKeycodes); key != std::rend(xKeycodes); ++key) release(*key);
}

std::optional<UserSeat::OpenedSession> UserSeat::openSessionWithControlOption(unsigned int xKeycode) {
    using namespace std::chrono_literals;
    const auto mark = counts();
    press(xControlKey());
    press(xAltKey());
    press(xKeycode);
    if (!waitForGrabs(mark, 1, 2s)) return std::nullopt;
    std::this_thread::sleep_for(20ms);
    release(xAltKey());
    release(xControlKey());
    std::this_thread::sleep_for(10ms);
    const auto released = Clock::now();
    release(xKeycode);
    if (!waitForGrabs(mark, 2, 2s)) return std::nullopt;
    return OpenedSession{released, Clock::now()};
}

std::optional<UserSeat::FirstGrabbedPress> UserSeat::openSessionAsSoonAsGrabbed(unsigned int xKeycode,
                                                                                std::chrono::milliseconds limit,
                                                                                bool waitForSession,
                                                                                std::vector<unsigned int> modifiers) {
    using namespace std::chrono_literals;
    const auto deadline = Clock::now() + limit;
    const auto mark = counts();
    if (modifiers.empty()) modifiers = {xControlKey(), xAltKey()};
    for (const unsigned int modifier : modifiers) press(modifier);
    std::optional<Clock::time_point> pressed;
    while (!pressed && Clock::now() < deadline) {
        const int keys = keysReceived_;
        const auto at = Clock::now();
        press(xKeycode);
        sync();
        // The press reaches our window, or the application's grab takes it; should another
        // window have the focus for a moment, neither shows and the press is tried again.
        waitUntil([&] { return counts_.grabs > mark.grabs || keysReceived_ > keys; }, 20ms);
        if (counts_.grabs > mark.grabs) {
            pressed = at;
        } else {
            release(xKeycode);
            // As often as a hand could: a flood of presses would only queue up in the program.
            std::this_thread::sleep_until(at + 2ms);
        }
    }
    if (pressed) release(xKeycode);
    std::this_thread::sleep_for(40ms);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) release(*modifier);
    if (!pressed) return std::nullopt;
    FirstGrabbedPress result{*pressed, std::nullopt};
    if (waitForSession && waitForGrabs(mark, 2, 2s)) result.sessionGrabbed = Clock::now();
    return result;
}

void UserSeat::movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XFlush(display_);
}

void UserSeat::click(unsigned int button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    heldButtons_.insert(button);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    heldButtons_.erase(button);
    XFlush(display_);
}

void UserSeat::sync() { XSync(display_, False); }

std::optional<UserSeat::Geometry> UserSeat::shownInputWindow(pid_t pid) {
    for (const Window window : topLevelWindows(display_)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes)) continue;
        if (attributes.map_state != IsViewable || !attributes.override_redirect || attributes.height <= 1) continue;
        if (cardinalProperty(display_, window, "_NET_WM_PID") != static_cast<unsigned long>(pid)) continue;
        char* name = nullptr;
        const bool isInputWindow = XFetchName(display_, window, &name) && name && std::strcmp(name, "tavlin") == 0;
        if (name) XFree(name);
        if (isInputWindow) return Geometry{attributes.x, attributes.y, attributes.width, attributes.height};
    }
    return std::nullopt;
}

std::optional<UserSeat::Geometry> UserSeat::shownIndicatorWindow(pid_t pid) {
    for (const Window window : topLevelWindows(display_)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes)) continue;
        if (attributes.map_state != IsViewable || !attributes.override_redirect) continue;
        if (cardinalProperty(display_, window, "_NET_WM_PID") != static_cast<unsigned long>(pid)) continue;
        char* name = nullptr;
        const bool isIndicator = XFetchName(display_, window, &name) && name && std::strcmp(name, "tavlin indicator") == 0;
        if (name) XFree(name);
        if (isIndicator) return Geometry{attributes.x, attributes.y, attributes.width, attributes.height};
    }
    return std::nullopt;
}

std::optional<std::pair<unsigned long, UserSeat::Geometry>> UserSeat::shownWindow(pid_t application, const std::string& title) {
    for (const Window window : topLevelWindows(display_)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes)) continue;
        if (attributes.map_state != IsViewable || attributes.override_redirect) continue;
        if (cardinalProperty(display_, window, "_NET_WM_PID") != static_cast<unsigned long>(application)) continue;
        char* name = nullptr;
        const bool matches = XFetchName(display_, window, &name) && name && title == name;
        if (name) XFree(name);
        if (matches) return std::make_pair(window, Geometry{attributes.x, attributes.y, attributes.width, attributes.height});
    }
    return std::nullopt;
}

bool UserSeat::showsWindow(pid_t application, const std::string& title) { return shownWindow(application, title).has_value(); }

std::optional<UserSeat::Geometry> UserSeat::shownWindowGeometry(pid_t application, const std::string& title) {
    const auto shown = shownWindow(application, title);
    if (!shown) return std::nullopt;
    return shown->second;
}

std::size_t UserSeat::distinctColors(const Geometry& area) {
    const int x = std::max(area.x, 0), y = std::max(area.y, 0);
    const int width = std::min(area.x + area.width, screenWidth()) - x;
    const int height = std::min(area.y + area.height, screenHeight()) - y;
    if (width <= 0 || height <= 0) return 0;
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return 0;
    std::set<unsigned long> colors;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) colors.insert(XGetPixel(image, column, row) & 0xFFFFFF);
    XDestroyImage(image);
    return colors.size();
}

std::optional<UserSeat::Geometry> UserSeat::giveFocusTo(pid_t application, const std::string& title) {
    const auto shown = shownWindow(application, title);
    if (!shown) return std::nullopt;
    keepsFocus_ = false;
    XSetInputFocus(display_, shown->first, RevertToParent, CurrentTime);
    XSync(display_, False);
    return shown->second;
}

std::optional<UserSeat::Dialog> UserSeat::shownDialog(pid_t pid) {
    const Atom typeAtom = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
    const Atom dialogAtom = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (const Window window : topLevelWindows(display_)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable) continue;
        if (cardinalProperty(display_, window, "_NET_WM_PID") != static_cast<unsigned long>(pid)) continue;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool dialog = false;
        if (XGetWindowProperty(display_, window, typeAtom, 0, 16, False, XA_ATOM, &type, &format, &count, &after, &data) ==
                Success &&
            data) {
            const auto* types = reinterpret_cast<const Atom*>(data);
            dialog = type == XA_ATOM && std::find(types, types + count, dialogAtom) != types + count;
            XFree(data);
        }
        if (!dialog) continue;
        char* name = nullptr;
        Dialog found{window, {}};
        if (XFetchName(display_, window, &name) && name) found.title = name;
        if (name) XFree(name);
        return found;
    }
    return std::nullopt;
}

bool UserSeat::keyboardFree() {
    const int status = XGrabKeyboard(display_, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess) XUngrabKeyboard(display_, CurrentTime);
    XSync(display_, False);
    // Our own grab and release show on our window too: counted now, they come in pairs and
    // leave the counts of later steps alone.
    pump();
    return status == GrabSuccess;
}

bool UserSeat::focusOn(unsigned long window, std::chrono::milliseconds limit) {
    focusHolder_ = window;
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XFlush(display_);
    return waitUntil(
        [&] {
            const Window focus = inputFocus(display_);
            return focus != None && focus != PointerRoot && topLevelOf(display_, focus) == window;
        },
        limit);
}

bool UserSeat::takeFocusBack(std::chrono::milliseconds limit) {
    focusHolder_ = window_;
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XFlush(display_);
    return waitUntil([&] { return inputFocus(display_) == window_; }, limit);
}

void UserSeat::pressButton(unsigned int button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    heldButtons_.insert(button);
    XFlush(display_);
}

void UserSeat::releaseButton(unsigned int button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    heldButtons_.erase(button);
    XFlush(display_);
}

std::vector<std::uint32_t> UserSeat::pixelColumn(int x, int top, int bottom) {
    std::vector<std::uint32_t> column;
    if (bottom <= top) return column;
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, top, 1, static_cast<unsigned>(bottom - top), AllPlanes,
                              ZPixmap);
    if (!image) return column;
    for (int y = 0; y < bottom - top; ++y) column.push_back(static_cast<std::uint32_t>(XGetPixel(image, 0, y) & 0xFFFFFF));
    XDestroyImage(image);
    return column;
}

bool UserSeat::saveScreenshot(const std::filesystem::path& path) {
    const int width = screenWidth(), height = screenHeight();
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return false;
    const auto channel = [](unsigned long pixel, unsigned long mask) -> unsigned char {
        if (mask == 0) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / top);
    };
    std::vector<unsigned char> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels.push_back(channel(pixel, image->red_mask));
            pixels.push_back(channel(pixel, image->green_mask));
            pixels.push_back(channel(pixel, image->blue_mask));
        }
    }
    XDestroyImage(image);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out.flush());
}

} // namespace tavlin::e2e
