#include "platform/x11/X11WindowSystem.h"

#include <algorithm>
#include <climits>
#include <set>
#include <string_view>
#include <utility>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "platform/x11/X11Connection.h"

namespace tavlin {
namespace {

// Bounds for what other clients may have written: no one manages this many windows, and
// class and host names are short.
constexpr long maximumWindows = 1 << 16;
constexpr long maximumTextWords = 1024; // in 32-bit units, as XGetWindowProperty counts

// _NET_ACTIVE_WINDOW's source indication for pagers and task lists: window managers honour it
// without their focus-stealing prevention.
constexpr long sourceIndicationPager = 2;

// One property value, freed with it.
struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;

    Property() = default;
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    ~Property() {
        if (data) XFree(data);
    }

    // Whether the window had the property with this format and at least one item. A failed
    // request (a window that is gone) leaves everything empty.
    bool read(Display* display, Window window, Atom property, Atom wantedType, long maximumLength, int wantedFormat) {
        unsigned long remaining = 0;
        if (XGetWindowProperty(display, window, property, 0, maximumLength, False, wantedType, &type, &format, &count, &remaining,
                               &data) != Success) {
            data = nullptr;
            return false;
        }
        return type != None && format == wantedFormat && count > 0 && data;
    }

    // Items of format 32 arrive as longs; only the low 32 bits are the value.
    std::uint32_t item32(unsigned long index) const {
        return static_cast<std::uint32_t>(reinterpret_cast<const unsigned long*>(data)[index] & 0xffffffffUL);
    }
    std::string_view text() const { return {reinterpret_cast<const char*>(data), count}; }
};

std::optional<Window> windowProperty(Display* display, Window window, Atom property) {
    Property value;
    if (!value.read(display, window, property, XA_WINDOW, 1, 32) || value.item32(0) == None) return std::nullopt;
    return value.item32(0);
}

// Nothing when the property is absent or is no window list.
std::optional<std::vector<Window>> windowListProperty(Display* display, Window window, Atom property) {
    Property value;
    if (!value.read(display, window, property, XA_WINDOW, maximumWindows, 32)) {
        // Present but empty: the window manager manages no window.
        if (value.type == XA_WINDOW && value.format == 32) return std::vector<Window>{};
        return std::nullopt;
    }
    std::vector<Window> windows;
    windows.reserve(value.count);
    for (unsigned long i = 0; i < value.count; ++i) {
        if (value.item32(i) != None) windows.push_back(value.item32(i));
    }
    return windows;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string currentHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

} // namespace

std::unique_ptr<X11WindowSystem> X11WindowSystem::open(const char* displayName) {
    auto display = x11::openDisplay(displayName);
    auto watcher = display ? x11::openDisplay(displayName) : nullptr;
    if (!watcher) return nullptr;
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(std::move(display), std::move(watcher), nullptr));
}

std::unique_ptr<X11WindowSystem> X11WindowSystem::onSharedConnection(Display* display) {
    if (!display) return nullptr;
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(nullptr, nullptr, display));
}

X11WindowSystem::X11WindowSystem(x11::DisplayPtr display, x11::DisplayPtr watcher, Display* shared)
    : ownDisplay_(std::move(display)), ownWatcher_(std::move(watcher)), display_(shared ? shared : ownDisplay_.get()),
      watcher_(shared ? shared : ownWatcher_.get()), root_(DefaultRootWindow(display_)), hostName_(currentHostName()) {
    Display* d = display_;
    activeWindowAtom_ = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    clientListAtom_ = XInternAtom(d, "_NET_CLIENT_LIST", False);
    pidAtom_ = XInternAtom(d, "_NET_WM_PID", False);
    supportingWmCheckAtom_ = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);

    // Watch first, then read: a change in between is then seen twice rather than never.
    XSelectInput(watcher_, DefaultRootWindow(watcher_), PropertyChangeMask);
    XSync(watcher_, False);
    x11::ErrorTrap trap(d);
    if (const auto active = activeClient()) lastActivePid_ = active->pid;
}

X11WindowSystem::~X11WindowSystem() = default;

int X11WindowSystem::fileDescriptor() const { return ownWatcher_ ? ConnectionNumber(watcher_) : -1; }

void X11WindowSystem::rescanDesktopEntries() { xdg::ApplicationCatalog::shared().invalidate(); }

void X11WindowSystem::setActivationHandler(ActivationHandler handler) { activationHandler_ = std::move(handler); }

void X11WindowSystem::setFrontLeftHandler(std::function<void()> handler) { frontLeftHandler_ = std::move(handler); }

std::optional<std::int64_t> X11WindowSystem::processOf(unsigned long window) {
    Display* d = display_;
    Property pid;
    if (!pid.read(d, window, pidAtom_, XA_CARDINAL, 1, 32)) return std::nullopt;
    const std::uint32_t value = pid.item32(0);
    if (value == 0 || value > static_cast<std::uint32_t>(INT_MAX)) return std::nullopt;
    // A client of another machine (or of a container with its own process ids) names a process
    // there; taken here, it would be some unrelated local process.
    Property machine;
    if (!hostName_.empty() && machine.read(d, window, XA_WM_CLIENT_MACHINE, AnyPropertyType, maximumTextWords, 8)) {
        std::string_view host = machine.text();
        if (const auto end = host.find('\0'); end != std::string_view::npos) host = host.substr(0, end);
        if (!equalIgnoringAsciiCase(host, hostName_)) return std::nullopt;
    }
    return value;
}

std::string X11WindowSystem::windowClassOf(unsigned long window) {
    Property wmClass;
    if (!wmClass.read(display_, window, XA_WM_CLASS, AnyPropertyType, maximumTextWords, 8)) return {};
    // Two NUL-terminated strings, instance then class; the terminators may be missing.
    const std::string_view text = wmClass.text();
    const auto instanceEnd = std::min(text.find('\0'), text.size());
    const std::string_view instance = text.substr(0, instanceEnd);
    std::string_view classPart = instanceEnd < text.size() ? text.substr(instanceEnd + 1) : std::string_view{};
    classPart = classPart.substr(0, std::min(classPart.find('\0'), classPart.size()));
    return std::string(classPart.empty() ? instance : classPart);
}

std::optional<X11WindowSystem::Client> X11WindowSystem::activeClient() {
    const auto window = windowProperty(display_, root_, activeWindowAtom_);
    if (!window) return std::nullopt;
    const auto pid = processOf(*window);
    if (!pid) return std::nullopt;
    return Client{*window, *pid};
}

std::vector<X11WindowSystem::Client> X11WindowSystem::clients() {
    Display* d = display_;
    std::vector<Window> windows;
    if (auto managed = windowListProperty(d, root_, clientListAtom_)) {
        windows = std::move(*managed);
    } else {
        // No window manager publishes a list: the top-level windows are the clients.
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(d, root_, &rootReturn, &parent, &children, &count) && children) {
            windows.assign(children, children + count);
        }
        if (children) XFree(children);
    }
    std::vector<Client> found;
    for (Window window : windows) {
        if (const auto pid = processOf(window)) found.push_back({window, *pid});
    }
    return found;
}

std::vector<unsigned long> X11WindowSystem::windowsOf(std::int64_t pid) {
    std::vector<unsigned long> windows;
    if (pid <= 0) return windows;
    for (const Client& client : clients()) {
        if (client.pid == pid) windows.push_back(client.window);
    }
    return windows;
}

RunningApplication X11WindowSystem::applicationOf(const Client& client) {
    return xdg::runningApplicationForProcess(client.pid, windowClassOf(client.window), xdg::ApplicationCatalog::shared());
}

bool X11WindowSystem::windowManagerIsRunning() {
    // A window manager that ended may leave the root's property behind; its check window
    // then is gone or no longer points at itself.
    const auto check = windowProperty(display_, root_, supportingWmCheckAtom_);
    return check && windowProperty(display_, *check, supportingWmCheckAtom_) == check;
}

std::optional<RunningApplication> X11WindowSystem::frontmostApplication() {
    x11::ErrorTrap trap(display_);
    const auto active = activeClient();
    if (!active) return std::nullopt;
    return applicationOf(*active);
}

std::vector<RunningApplication> X11WindowSystem::runningApplications(const std::string& bundleIdentifier) {
    x11::ErrorTrap trap(display_);
    std::vector<RunningApplication> found;
    std::set<std::int64_t> seen;
    for (const Client& client : clients()) {
        if (!seen.insert(client.pid).second) continue;
        RunningApplication application = applicationOf(client);
        if (application.bundleIdentifier == bundleIdentifier) found.push_back(std::move(application));
    }
    return found;
}

void X11WindowSystem::activate(const RunningApplication& application) {
    Display* d = display_;
    x11::ErrorTrap trap(d);
    const auto windows = windowsOf(application.processIdentifier);
    if (windows.empty()) return;

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = windows.front();
    event.xclient.message_type = activeWindowAtom_;
    event.xclient.format = 32;
    event.xclient.data.l[0] = sourceIndicationPager;
    event.xclient.data.l[1] = CurrentTime;
    event.xclient.data.l[2] = None;
    XSendEvent(d, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);

    if (!windowManagerIsRunning()) {
        // No one answers the request. Focusing a window that is not viewable is an error, and
        // mapping one the application withdrew would show what it meant to hide.
        for (Window window : windows) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(d, window, &attributes) || attributes.map_state != IsViewable) continue;
            XRaiseWindow(d, window);
            XSetInputFocus(d, window, RevertToParent, CurrentTime);
            break;
        }
    }
    XFlush(d);
}

void X11WindowSystem::hide(const RunningApplication& application) {
    Display* d = display_;
    x11::ErrorTrap trap(d);
    for (Window window : windowsOf(application.processIdentifier)) XIconifyWindow(d, window, DefaultScreen(d));
    XFlush(d);
}

bool X11WindowSystem::isThisApplicationActive() {
    x11::ErrorTrap trap(display_);
    const auto active = activeClient();
    return active && active->pid == ::getpid();
}

void X11WindowSystem::processPendingEvents() {
    if (!ownWatcher_) return;
    Display* w = watcher_;
    while (XPending(w) > 0) {
        XEvent event;
        XNextEvent(w, &event);
        handleEvent(event);
    }
    finishBatch();
}

void X11WindowSystem::handleEvent(XEvent& event) {
    // Atoms belong to the server, so the other connection's atom names the property here too.
    if (event.type == PropertyNotify && event.xproperty.atom == activeWindowAtom_ && event.xproperty.window == root_)
        activeWindowChanged_ = true;
}

// The property is read now, so several notices in one batch are one change.
void X11WindowSystem::finishBatch() {
    if (std::exchange(activeWindowChanged_, false)) noteActiveWindowChange();
}

void X11WindowSystem::noteActiveWindowChange() {
    std::optional<RunningApplication> application;
    {
        x11::ErrorTrap trap(display_);
        const auto active = activeClient();
        if (!active) {
            if (!lastActivePid_ || frontLeft_) return;
            frontLeft_ = true;
        } else {
            // Another window of the same process is no new application.
            if (active->pid == lastActivePid_ && !frontLeft_) return;
            frontLeft_ = false;
            lastActivePid_ = active->pid;
            application = applicationOf(*active);
        }
    }
    if (!application) {
        const auto left = frontLeftHandler_;
        if (left) left();
        return;
    }
    // A copy: the handler may replace itself.
    const ActivationHandler handler = activationHandler_;
    if (handler) handler(*application, application->processIdentifier == ::getpid());
}

} // namespace tavlin
