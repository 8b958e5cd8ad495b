#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/MainQueue.h"
#include "platform/desktop/Workspace.h"
#include "platform/linux/WindowSystemApplications.h"

namespace tavlin::xdg {

// The workspace on a freedesktop desktop: URLs open through xdg-open, applications are desktop
// entries (or executables), scripts are executables in the application-scripts folder.
//
// No program is started through a shell. Entries start through GIO (which knows the desktop's
// terminal and the bus), executables by us; both detached, in a session of their own. Work that waits for a process is polled
// from timers on `queue` (the queues are not safe to post to from other threads), so the main thread never waits for a child;
// completions run there.
class XdgWorkspace : public Workspace {
public:
    explicit XdgWorkspace(MainQueue& queue) : queue_(queue) {}

    // Not owned; nothing means no window system is known (tests, or before X11 is up).
    void setWindowSystem(WindowSystemApplications* windowSystem) { windowSystem_ = windowSystem; }

    // xdg-open may stay in the foreground as long as it likes (on a bare desktop it may be the
    // handler itself): its exit status is reported when it ends.
    void openURL(const std::string& url, Completion completion) override;
    void openURLs(const std::vector<std::string>& urls, const std::string& applicationPath, Completion completion) override;
    // A desktop entry that already runs is brought forward instead of started again.
    void openApplication(const std::string& path, Completion completion) override;
    std::optional<std::string> executablePathOfApplication(const std::string& path) override;

    std::optional<RunningApplication> frontmostApplication() override;
    std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) override;
    void activate(const RunningApplication& application) override;
    void hide(const RunningApplication& application) override;
    bool isThisApplicationActive() override;

    std::optional<std::string> runScript(const std::string& path, Completion completion) override;

    // Asks the desktop's file manager (through `showItems`, given the item's file URI) to show the
    // item; without one that answers, opens the containing folder.
    void activateFileViewerSelecting(const std::string& path) override;
    using ShowItems = std::function<bool(const std::string& fileURI)>;
    void setShowItems(ShowItems showItems) { showItems_ = std::move(showItems); }

private:
    struct Command {
        std::filesystem::path program;
        std::vector<std::string> argv;
        std::string workingDirectory;
    };
    struct Prepared {
        std::string name;
        std::vector<Command> commands;
        std::optional<std::string> error;
        // A desktop entry, which GIO starts, with its items.
        std::optional<std::filesystem::path> desktopLaunch;
        std::vector<std::string> items;
    };
    Prepared prepare(const std::string& applicationPath, const std::vector<std::string>& items) const;
    void launch(Prepared prepared, Completion completion);
    void complete(Completion completion, std::optional<std::string> error);

    MainQueue& queue_;
    WindowSystemApplications* windowSystem_ = nullptr;
    ShowItems showItems_;
};

} // namespace tavlin::xdg
