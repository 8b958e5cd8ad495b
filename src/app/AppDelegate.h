#pragma once

#include <memory>
#include <optional>

#include "platform/desktop/Workspace.h"

class QWidget;

namespace tavlin {

// The application's delegate: the launch, re-activation, the frontmost-application tracking,
// termination, and the configuration window's close. Main thread only.
class AppDelegate {
public:
    void applicationDidFinishLaunching();
    // The launch's last step, for a configuration window made after the launch: it comes
    // forward, and closing it only hides it.
    void configurationWindowDidLoad();
    // The user started the application again, or asked it to come forward.
    void applicationDidBecomeActive();
    void applicationWillTerminate();
    // Any application became active; `application` is absent when the desktop could not say
    // which.
    void appActivated(const std::optional<RunningApplication>& application, bool isThisProgram);
    // The application in front left it and none took its place: a listed one gives the leader
    // keys back.
    void frontLeft();
    // False keeps the window: a closed configuration window only hides.
    bool windowShouldClose(QWidget* window);

    // Regenerates a missing configuration, or one generated from the flat rows when the rows
    // changed, and then registers the leader keys again; leaves a configuration edited as a
    // tree alone.
    static void reloadConfigurationIfGeneratedFromRows();

    // One line describing a running application, for diagnostics.
    static std::string fullDescription(const RunningApplication& application, bool isActive);

private:
    void observeSettingsChanges();
    bool settingsChangePending_ = false;
    // The settings observer outlives the delegate (the shared manager keeps it): it checks this.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace tavlin
