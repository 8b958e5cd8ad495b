#include "configwindow/core/ConfigurationWindowModel.h"

#include <exception>
#include <vector>

#include "engine/ShellServices.h"
#include "model/DecodedConfiguration.h"
#include "model/LeaderKeyCache.h"
#include "platform/Alerts.h"
#include "platform/Diagnostics.h"
#include "platform/Result.h"

namespace tavlin {

ConfigurationWindowModel::ConfigurationWindowModel(ConfigurationOrError configurationOrError)
    : configurationOrError_(std::move(configurationOrError)) {
    // The tree is edited in place: the decoded copy sessions share must be another one.
    decodedConfiguration::forget();
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

void ConfigurationWindowModel::applyChange(const Edit& edit) {
    // A change started by an observer of another change would reset the views in the middle of
    // theirs: it runs inside the outer one.
    if (changing_ > 0) {
        edit();
        save();
        return;
    }
    ++changing_;
    announceAboutToChange();
    try {
        edit();
        save();
    } catch (...) {
        --changing_;
        announceChanged();
        throw;
    }
    --changing_;
    announceChanged();
}

void ConfigurationWindowModel::save() {
    std::string failure;
    if (const auto* error = this->error()) {
        failure = *error;
    } else {
        try {
            configuration()->write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
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
    applyChange([this] {
        cachedLeaderKeys() = std::nullopt;
        try {
            configurationOrError_ = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
            // This tree is edited in place: sessions must not share it.
            decodedConfiguration::forget();
        } catch (const std::exception& error) {
            configurationOrError_ = localizedDescription(error);
        }
    });
}

void ConfigurationWindowModel::loadSampleDecision() {
    const auto configuration = this->configuration();
    if (!configuration) {
        diag::printLine("");
        return;
    }
    applyChange([&configuration] { configuration->decision = Decision::example(); });
}

} // namespace tavlin
