#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "configwindow/core/ConfigurationWindowModel.h"
#include "model/Configuration.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"
#include "support/SampleTrees.h"
#include "support/TempHome.h"

namespace tavlin::test {

// Records the alerts shown while it lives.
class AlertRecorder {
public:
    AlertRecorder() {
        previous_ = setAlertPresenter(
            [this](const std::string& message, const std::string& informative) { alerts.emplace_back(message, informative); });
    }
    ~AlertRecorder() { setAlertPresenter(previous_); }
    std::vector<std::pair<std::string, std::string>> alerts;

private:
    AlertPresenter previous_;
};

inline std::filesystem::path configurationFile() { return *Configuration::fileURL(); }
inline std::filesystem::path backupFolder() { return configurationFile().parent_path() / "backup"; }
inline std::size_t backupCount() { return folderEntries(backupFolder()).size(); }

// A hand-made configuration written to the file and loaded back, as the application starts.
inline std::shared_ptr<Configuration> writeAndLoad(const std::string& text) {
    writeFile(configurationFile(), text);
    return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
}

inline std::string titleOf(const Action& action) {
    const auto* notification = action.kind.get<Action::Kind::notification>();
    return notification ? notification->title : std::string(action.kind.caseName());
}

inline std::vector<std::string> titles(const Decision& decision) {
    std::vector<std::string> result;
    for (const auto& action : decision.actions) result.push_back(titleOf(action));
    return result;
}

} // namespace tavlin::test
