#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Workspace.h"
#include "platform/linux/WindowSystemApplications.h"
#include "platform/x11/X11Display.h"

namespace tavlin {

// Applications as the window manager publishes them on the root window (_NET_ACTIVE_WINDOW,
// _NET_CLIENT_LIST): a window's application is its process (_NET_WM_PID) matched against the
// desktop entries by its WM_CLASS. Requests go over one connection of its own; activations are
// watched on a second one, so a reply read on the first never leaves change notices queued
// inside Xlib where the socket notifier cannot see them. Main thread only.
class X11WindowSystem final : public xdg::WindowSystemApplications, public x11::EventReader {
public:
    using ActivationHandler = std::function<void(const RunningApplication& application, bool isThisProgram)>;

    // Null when the display cannot be reached ($DISPLAY when `displayName` is null). Windows are
    // matched to the shared application catalog's entries.
    static std::unique_ptr<X11WindowSystem> open(const char* displayName = nullptr);
    // On a connection another piece owns and reads: requests and notices go over it, and the
    // notices come through `handleEvent` and `finishBatch`. The connection must outlive it.
    static std::unique_ptr<X11WindowSystem> onSharedConnection(_XDisplay* display);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    // The application of the active window; none when no window with a process is active.
    std::optional<RunningApplication> frontmostApplication() override;
    // One per process among the managed windows, those with this bundle identifier.
    std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) override;
    // Asks the window manager to activate the process's first window; without a window manager
    // raises and focuses its first viewable window instead.
    void activate(const RunningApplication& application) override;
    // Asks the window manager to iconify every window of the process.
    void hide(const RunningApplication& application) override;
    bool isThisApplicationActive() override;

    // Reads the installed desktop entries again (the shared catalog also does so by itself when
    // the applications folders change).
    void rescanDesktopEntries();

    // Called from `processPendingEvents` when a window of another application than the one
    // reported last becomes active, or of that one after it left the front; windows without a
    // process are not reported.
    void setActivationHandler(ActivationHandler handler);
    // Called from `processPendingEvents` when the application reported last leaves the front
    // and no other takes it (no window, or one without a process, is active). When it comes
    // back it is reported again.
    void setFrontLeftHandler(std::function<void()> handler);
    // The watching connection's socket: readable when `processPendingEvents` has work; -1 on a
    // shared connection, whose owner reads it.
    int fileDescriptor() const;
    // Handles every event received so far and calls the handler; never blocks. Nothing on a
    // shared connection.
    void processPendingEvents();
    void handleEvent(_XEvent& event) override;
    void finishBatch() override;

private:
    struct Client {
        unsigned long window;
        std::int64_t pid;
    };

    X11WindowSystem(x11::DisplayPtr display, x11::DisplayPtr watcher, _XDisplay* shared);

    // These read windows that may vanish at any moment: callers hold an ErrorTrap.
    std::optional<std::int64_t> processOf(unsigned long window);
    std::string windowClassOf(unsigned long window);
    std::optional<Client> activeClient();
    // The managed windows that have a process, in the window manager's order.
    std::vector<Client> clients();
    std::vector<unsigned long> windowsOf(std::int64_t pid);
    RunningApplication applicationOf(const Client& client);
    bool windowManagerIsRunning();
    void noteActiveWindowChange();

    x11::DisplayPtr ownDisplay_;
    x11::DisplayPtr ownWatcher_;
    _XDisplay* display_;
    _XDisplay* watcher_;
    unsigned long root_;
    unsigned long activeWindowAtom_;
    unsigned long clientListAtom_;
    unsigned long pidAtom_;
    unsigned long supportingWmCheckAtom_;
    std::string hostName_;
    std::optional<std::int64_t> lastActivePid_;
    ActivationHandler activationHandler_;
    std::function<void()> frontLeftHandler_;
    bool frontLeft_ = false;
    bool activeWindowChanged_ = false;
};

} // namespace tavlin
