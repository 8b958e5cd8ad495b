#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileUrl.h"

namespace tavlin {

// One of our windows, as the core names it; the desktop layer maps it to its own window.
struct WindowHandle {
    std::uintptr_t value = 0;
    friend bool operator==(const WindowHandle&, const WindowHandle&) = default;
};

// For callers without a window of their own (the launcher's actions): the panel stands alone.
inline constexpr WindowHandle noParentWindow{};

// How a panel session ended.
namespace modalResponse {
inline constexpr int ok = 1;
inline constexpr int cancel = 0;
inline constexpr int stop = -1000;
inline constexpr int abort = -1001;
} // namespace modalResponse

// Decides, for the panel, which items it offers and which choice it accepts.
class OpenPanelDelegate {
public:
    virtual ~OpenPanelDelegate() = default;
    // False greys the item out.
    virtual bool shouldEnable(const FileUrl& url) = 0;
    // Nothing accepts the choice. A text refuses it: the panel beeps, shows the text and stays
    // open.
    virtual std::optional<std::string> validate(const FileUrl& url) = 0;
};

// A panel in which the user chooses a file or folder. Set `configuration`, then run it.
class OpenPanel {
public:
    struct Configuration {
        std::optional<std::string> title;
        std::optional<std::string> message;
        std::optional<std::string> prompt;         // the text of the button that chooses
        std::optional<std::string> nameFieldLabel; // the label of the name field
        bool canChooseFiles = true;
        bool canChooseDirectories = false;
        bool canCreateDirectories = false;
        bool allowsMultipleSelection = false;
        bool showsHiddenFiles = false;
        bool extensionHidden = false;
        std::optional<FileUrl> directoryURL; // the folder shown first
        // Held weakly: whoever shows the panel keeps the delegate alive until it ends.
        std::weak_ptr<OpenPanelDelegate> delegate;
    };

    virtual ~OpenPanel() = default;

    // Shows the panel application-modal and answers a modalResponse value.
    virtual int runModal() = 0;
    // Shows the panel attached to the window (none: on its own) and returns; the handler gets
    // the modalResponse value when the panel ends. The panel lets go of the handler once it has
    // called it, so a handler may keep the panel alive.
    virtual void beginSheet(std::optional<WindowHandle> window, std::function<void(int response)> handler) = 0;
    // What the user chose, after an OK response. Each URL carries its own security scope: the
    // choice is the grant.
    virtual std::vector<FileUrl> urls() const = 0;

    Configuration configuration;
};

// The desktop side of the panels: makes them, and runs work on the main (event-loop) thread.
class OpenPanelProvider {
public:
    virtual ~OpenPanelProvider() = default;
    virtual std::unique_ptr<OpenPanel> makePanel() = 0;
    // Brings this application to the front, ahead of the others.
    virtual void activateApplication() = 0;
    virtual bool isMainThread() = 0;
    // Queues the work on the main thread and returns.
    virtual void runOnMainThread(std::function<void()> work) = 0;
};

// The installed provider. Until the desktop layer installs one, a process has no panel to show:
// every panel ends at once as cancelled, and work for the main thread runs on the caller's.
std::shared_ptr<OpenPanelProvider> openPanelProvider();
// Replaces the provider and answers the previous one. An empty provider restores the default.
std::shared_ptr<OpenPanelProvider> setOpenPanelProvider(std::shared_ptr<OpenPanelProvider> provider);

// What the panels that ask for access to one item differ in.
struct AccessPanelSetup {
    std::optional<std::string> title;
    std::optional<std::string> message;
    std::optional<std::string> prompt;
    bool canChooseFiles = true;          // false: folders only
    std::optional<FileUrl> directoryURL; // the folder shown first
    std::weak_ptr<OpenPanelDelegate> delegate;
};
// A panel of the installed provider in which the user grants access to one item: a file (when
// allowed) or a folder, a single one, with no new folders and with hidden files kept hidden.
std::unique_ptr<OpenPanel> makeAccessPanel(AccessPanelSetup setup);

} // namespace tavlin
