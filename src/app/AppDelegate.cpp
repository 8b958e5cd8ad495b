#include "app/AppDelegate.h"

#include <filesystem>

#include <QtWidgets/QWidget>

#include "app/ConfigurationWindow.h"
#include "app/HelperApp.h"
#include "app/WindowOperations.h"
#include "engine/ActionStatistics.h"
#include "engine/HotKeyManager.h"
#include "engine/InputWindowManager.h"
#include "engine/KeyEventHandler.h"
#include "engine/LeaderKeys.h"
#include "engine/ShellServices.h"
#include "model/Configuration.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"

namespace tavlin {

namespace {

void registerLeaderKeys() {
    if (const auto& reload = ShellServices::shared().reloadLeaderKeys) reload(false);
}

std::string orNil(const std::optional<std::string>& text) { return text ? *text : "nil"; }

} // namespace

void AppDelegate::reloadConfigurationIfGeneratedFromRows() {
    const auto file = Configuration::fileURL();
    std::error_code error;
    if (!file || !std::filesystem::exists(*file, error)) {
        Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();
        registerLeaderKeys();
        return;
    }
    if (!Configuration::fileIsGenerated()) return;
    // Sessions store their own values beside the rows: only a change of what the file is made
    // from writes it and registers the leader keys again.
    if (Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrateIfChanged()) registerLeaderKeys();
}

void AppDelegate::applicationDidFinishLaunching() {
    HelperApp::open();
    // On this desktop an application is a desktop entry: the first binding opens the user's
    // default web browser. Stored once the associations are read; the settings' observer then
    // generates the configuration from the rows.
    HelperApp::whenRegistered(
        "https", [](const std::optional<std::string>& browser) { settings::storeDefaultFlatRowsIfNeverStored(browser); });
    reloadConfigurationIfGeneratedFromRows();
    observeSettingsChanges();
    registerLeaderKeys();
    ExternalEventObserver::start();
    // The window system reports activations to appActivated (wired by the application).
    configurationWindowDidLoad();
}

void AppDelegate::configurationWindowDidLoad() {
    if (QWidget* window = app::configurationWindow()) {
        app::activateAndOrderFront(window);
        if (auto* configuration = dynamic_cast<app::ConfigurationWindow*>(window))
            configuration->setShouldClose([this](QWidget* closing) { return windowShouldClose(closing); });
    }
}

// A change is handled on a later turn of the main queue, once for all the changes made until
// then; the changes that the handling makes itself are not handled again.
void AppDelegate::observeSettingsChanges() {
    const std::weak_ptr<bool> alive = alive_;
    NSUserDefaults::Manager::shared()->observe(settings::appGroupStore(), [this, alive] {
        if (alive.expired() || settingsChangePending_) return;
        settingsChangePending_ = true;
        MainQueue::shared().post([this, alive] {
            if (alive.expired()) return;
            NSUserDefaults::Manager::shared()->handleChange([this] {
                // The disabled-applications list may have changed: it holds from now on.
                leaderKeysFollowDisabledApplications();
                reloadConfigurationIfGeneratedFromRows();
                settingsChangePending_ = false;
            });
        });
    });
}

// A window already shown may lie under other programs' windows: it comes forward.
void AppDelegate::applicationDidBecomeActive() {
    if (!app::hasVisibleWindow()) app::showConfigurationWindow();
    else app::bringShownWindowForward();
}

void AppDelegate::applicationWillTerminate() {
    ActionStatistics::writePending();
    HotKeyManager::shared().unregisterAll();
    KeyEventHandlerManager::shared().removeKeyEventHanlder();
}

void AppDelegate::appActivated(const std::optional<RunningApplication>& application, bool isThisProgram) {
    if (!application) {
        diag::printLine("failed to access running application from userInfo of the activation");
        return;
    }
    FrontmostApplications::shared().applicationDidActivate(*application, isThisProgram);
    // Our own windows are no listed application: the leader keys work in them.
    leaderKeysFollowActiveApplication(isThisProgram ? std::nullopt : application);
    if (!application->bundlePath)
        diag::printLine("unexpectedly found nil while accessing bundleURL of " + fullDescription(*application, true));
}

void AppDelegate::frontLeft() { leaderKeysFollowActiveApplication(std::nullopt); }

bool AppDelegate::windowShouldClose(QWidget* window) {
    QWidget* configuration = app::configurationWindow();
    if (!configuration || configuration != window) {
        diag::printLine("");
        return true;
    }
    // Only this window goes; when it is the last one shown, that is all hiding the application
    // would do too.
    configuration->hide();
    return false;
}

std::string AppDelegate::fullDescription(const RunningApplication& application, bool isActive) {
    const std::string pid = std::to_string(application.processIdentifier);
    return "NSRunningApp(description: " + orNil(application.bundleIdentifier) + " (" + pid +
           "), debugDescription: " + orNil(application.bundlePath) + ", isActive: " + (isActive ? "true" : "false") +
           ", localizedName: " + orNil(application.localizedName) + ", bundleIdentifier: " + orNil(application.bundleIdentifier) +
           ", executableArchitecture: 0, executableURL: " + orNil(application.executablePath) +
           ", launchDate: nil, isFinishedLaunching: true, processIdentifier: " + pid +
           ", ownsMenuBar:" + (isActive ? "true" : "false") + ")";
}

} // namespace tavlin
