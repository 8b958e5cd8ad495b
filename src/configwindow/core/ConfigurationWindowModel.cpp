#include "configwindow/core/ConfigurationWindowModel.h"

#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/ShellServices.h"
#include "model/DecodedConfiguration.h"
#include "model/LeaderKeyCache.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/Result.h"
#include "platform/desktop/Alerts.h"

namespace tavlin {

namespace {

std::optional<files::FileIdentity> currentFileIdentity() {
    const auto url = Configuration::fileURL();
    return url ? files::identity(*url) : std::nullopt;
}

// The version of the file a configuration just loaded came from.
std::optional<files::FileIdentity> identityOfLoaded(const std::shared_ptr<Configuration>& configuration) {
    if (auto identity = decodedConfiguration::keptIdentity(configuration)) return identity;
    return currentFileIdentity();
}

} // namespace

ConfigurationWindowModel::ConfigurationWindowModel(ConfigurationOrError configurationOrError)
    : configurationOrError_(std::move(configurationOrError)) {
    fileIdentity_ = identityOfLoaded(configuration());
}

void ConfigurationWindowModel::ownTree() {
    // The window keeps its tree, which its views and sheets point into, and edits it in place;
    // sessions get a copy of the version the file holds, so they need not decode it again.
    const auto configuration = this->configuration();
    if (!configuration || !decodedConfiguration::keptIdentity(configuration)) return;
    decodedConfiguration::replace(configuration,
                                  std::make_shared<Configuration>(configuration->authorInfo, configuration->hotKeys,
                                                                  configuration->decision->copyWithNewIDs()));
}

std::shared_ptr<Configuration> ConfigurationWindowModel::configuration() const {
    const auto* configuration = std::get_if<std::shared_ptr<Configuration>>(&configurationOrError_);
    return configuration ? *configuration : nullptr;
}

DecisionPtr ConfigurationWindowModel::rootDecision() const {
    const auto configuration = this->configuration();
    return configuration ? configuration->decision : nullptr;
}

ConfigurationWindowModel::ObserverToken ConfigurationWindowModel::addObserver(Observer observer) {
    const ObserverToken token = nextToken_++;
    observers_.emplace(token, std::move(observer));
    return token;
}

void ConfigurationWindowModel::removeObserver(ObserverToken token) { observers_.erase(token); }

void ConfigurationWindowModel::announceAboutToChange() {
    // Observers may come and go while they are told (a window closing): tell a snapshot.
    std::vector<Observer> observers;
    for (const auto& [token, observer] : observers_) observers.push_back(observer);
    for (const auto& observer : observers)
        if (observer.aboutToChange) observer.aboutToChange();
}

void ConfigurationWindowModel::announceChanged() {
    std::vector<Observer> observers;
    for (const auto& [token, observer] : observers_) observers.push_back(observer);
    for (const auto& observer : observers)
        if (observer.changed) observer.changed();
}

bool ConfigurationWindowModel::applyChange(const Edit& edit) {
    // An edit made on our copy and saved would erase what the other program wrote.
    if (changing_ == 0 && fileChangedByAnotherWriter()) {
        takeAnotherWritersVersion();
        return false;
    }
    ownTree();
    change([&] {
        edit();
        save();
    });
    return true;
}

void ConfigurationWindowModel::change(const Edit& step) {
    // A change started by an observer of another change would reset the views in the middle of
    // theirs: it runs inside the outer one.
    if (changing_ > 0) {
        step();
        return;
    }
    ++changing_;
    announceAboutToChange();
    try {
        step();
    } catch (...) {
        --changing_;
        announceChanged();
        throw;
    }
    --changing_;
    announceChanged();
}

bool ConfigurationWindowModel::fileChangedByAnotherWriter() const {
    const auto url = Configuration::fileURL();
    std::error_code error;
    // Only a file holds a version to lose; without one a save just writes ours.
    if (!url || !std::filesystem::is_regular_file(*url, error)) return false;
    return files::identity(*url) != fileIdentity_;
}

void ConfigurationWindowModel::takeAnotherWritersVersion() {
    // Kept whatever is saved over it later.
    Configuration::backUpConfigurationFile();
    if (const auto& reload = ShellServices::shared().reloadLeaderKeys) reload(false);
    change([this] { load(); });
    showAlert("Failed to save configuration",
              "The configuration file was changed by another program. The window now shows it as it is (a copy is in "
              "the backup folder); make your change again.");
}

void ConfigurationWindowModel::load() {
    cachedLeaderKeys() = std::nullopt;
    // Read again means decoded again: a tree with new identifiers, never the one shown before.
    decodedConfiguration::forget();
    try {
        const auto configuration = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        fileIdentity_ = identityOfLoaded(configuration);
        configurationOrError_ = configuration;
    } catch (const std::exception& error) {
        configurationOrError_ = localizedDescription(error);
        fileIdentity_ = currentFileIdentity();
    }
}

void ConfigurationWindowModel::save() {
    std::string failure;
    if (const auto* error = this->error()) {
        failure = *error;
    } else {
        try {
            configuration()->write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
            fileIdentity_ = currentFileIdentity();
            cachedLeaderKeys() = std::nullopt;
            Configuration::backUpConfigurationFile();
            return;
        } catch (const std::exception& error) {
            failure = localizedDescription(error);
        }
    }
    showAlert("Failed to save configuration", failure);
}

void ConfigurationWindowModel::reloadConfigurationFile() {
    if (const auto& reload = ShellServices::shared().reloadLeaderKeys) reload(false);
    change([this] {
        load();
        // A file that does not load was reported by the leader keys' reload; writing nothing
        // keeps it for the user to mend.
        if (!error()) save();
    });
}

void ConfigurationWindowModel::loadSampleDecision() {
    const auto configuration = this->configuration();
    if (!configuration) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    applyChange([&configuration] { configuration->decision = Decision::example(); });
}

} // namespace tavlin
