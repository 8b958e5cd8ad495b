#pragma once

#include <functional>
#include <optional>

#include "platform/desktop/Workspace.h"

namespace tavlin {

// What the engine asks of the application shell and of the leader-key registration. The shell
// installs them at launch; until then they do nothing, and tests install their own.
struct ShellServices {
    std::function<void()> openHelperApplication;     // make sure the helper application runs
    std::function<void()> toggleConfigurationWindow; // show or hide the configuration window
    std::function<void()> unregisterAllLeaderKeys;   // switch every leader key off
    std::function<void(bool skipHotKeys)> reloadLeaderKeys;

    static ShellServices& shared();
};

// The last application other than this program that became active, and the one before it.
struct FrontmostApplications {
    std::optional<RunningApplication> current;
    std::optional<RunningApplication> previous;

    // An activation: this program's own activations, and the current one's, leave both unchanged.
    void applicationDidActivate(const RunningApplication& application, bool isThisProgram);

    static FrontmostApplications& shared();
};

} // namespace tavlin
