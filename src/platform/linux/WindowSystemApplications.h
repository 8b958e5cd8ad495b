#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop/Workspace.h"
#include "platform/linux/ApplicationCatalog.h"

namespace tavlin::xdg {

// What only the window system knows: which applications run, which one is in front, and how
// to raise or hide one. The X11 layer provides it; XdgWorkspace forwards to it.
class WindowSystemApplications {
public:
    virtual ~WindowSystemApplications() = default;

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) = 0;
    virtual void activate(const RunningApplication& application) = 0;
    virtual void hide(const RunningApplication& application) = 0;
    virtual bool isThisApplicationActive() = 0;
};

// The application a window's process belongs to. The entry is the one whose StartupWMClass is
// `wmClass`, else the one whose desktop-file id is `wmClass` ignoring ASCII case, else the only
// one that runs the process's executable (when several do, as with interpreters, none is
// taken), among the installed applications as GIO knows them. Without an entry the executable stands in for the bundle.
RunningApplication runningApplicationForProcess(std::int64_t pid, std::string_view wmClass, ApplicationCatalog& catalog);

} // namespace tavlin::xdg
