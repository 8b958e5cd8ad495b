#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QPointer>

#include "app/ConfigurationWindow.h"
#include "app/MainMenu.h"
#include "app/SettingsWindow.h"
#include "platform/files/UserDefaults.h"

class QMessageBox;

namespace tavlin::app {

// The application's windows and its main-menu commands: the configuration window, whose bar is
// the main menu, the Settings window and the About box. Main thread only.
class ApplicationScenes {
public:
    // `quit` ends the application the way a termination signal does.
    explicit ApplicationScenes(std::function<void()> quit);
    ~ApplicationScenes();
    ApplicationScenes(const ApplicationScenes&) = delete;
    ApplicationScenes& operator=(const ApplicationScenes&) = delete;

    // The configuration window made at start; it lives as long as the scenes.
    ConfigurationWindow& configurationWindow() { return *configurationWindow_; }
    // Another configuration window, for the URL that finds none; it goes when it is closed.
    ConfigurationWindow* makeConfigurationWindow();

    // The configuration the configuration windows hold.
    void setConfiguration(LoadedConfiguration configuration);

    // The main-menu commands.
    void showAbout();
    void showSettings();
    const MainMenuCommands& commands() const { return commands_; }

    // Null until first shown.
    SettingsWindow* settingsWindow() const { return settingsWindow_.get(); }
    QMessageBox* aboutBox() const { return aboutBox_.get(); }

private:
    std::unique_ptr<ConfigurationWindow> newConfigurationWindow();

    MainMenuCommands commands_;
    LoadedConfiguration configuration_;
    std::unique_ptr<ConfigurationWindow> configurationWindow_;
    std::vector<QPointer<ConfigurationWindow>> laterWindows_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    std::unique_ptr<QMessageBox> aboutBox_;
    std::unique_ptr<QObject> sessionKeys_;
    std::shared_ptr<UserDefaults> settingsStore_;
    UserDefaults::ObserverToken settingsObserver_ = 0;
};

} // namespace tavlin::app
