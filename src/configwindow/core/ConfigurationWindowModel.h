#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "model/Configuration.h"
#include "platform/files/Files.h"

namespace tavlin {

// The configuration the window edits, or the sentence of the error that kept it from loading.
// One per process; every window shows it. Edits change the tree inside the configuration in place
// and are saved at once: there is no undo and no unsaved state.
class ConfigurationWindowModel {
public:
    using ConfigurationOrError = std::variant<std::shared_ptr<Configuration>, std::string>;
    using Edit = std::function<void()>;

    // Told before and after each change, in the order the observers were added: views drop what
    // they hold of the tree before it changes and rebuild after.
    struct Observer {
        std::function<void()> aboutToChange;
        std::function<void()> changed;
    };
    using ObserverToken = int;

    explicit ConfigurationWindowModel(ConfigurationOrError configurationOrError);
    ConfigurationWindowModel(const ConfigurationWindowModel&) = delete;
    ConfigurationWindowModel& operator=(const ConfigurationWindowModel&) = delete;

    const ConfigurationOrError& configurationOrError() const { return configurationOrError_; }
    // Null while the model holds an error.
    std::shared_ptr<Configuration> configuration() const;
    // Null while the model holds a configuration.
    const std::string* error() const { return std::get_if<std::string>(&configurationOrError_); }
    DecisionPtr rootDecision() const;

    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

    // The change wrapper every tree edit runs through: announce, edit, save, announce. When
    // another program changed the file since the window read or saved it, the edit is refused
    // instead: their version is backed up and shown, with an alert. Answers whether it ran.
    bool applyChange(const Edit& edit);

    // Writes the file, clears the cached leader keys and makes a backup; a failure (or a model
    // holding a load error) is an alert "Failed to save configuration", and then nothing is
    // cleared or backed up.
    void save();

    // The file read again (after the leader keys are registered anew from it) and written back;
    // a file that does not load is shown as its error and left as it is.
    void reloadConfigurationFile();
    // Fills an empty tree with the sample tree.
    void loadSampleDecision();

private:
    // The tree is about to be changed in place. Until then sessions share it with the window,
    // and the file is decoded once.
    void ownTree();
    void announceAboutToChange();
    void announceChanged();
    // Runs a step of a change between the announcements.
    void change(const Edit& step);
    // Reads the file into the model.
    void load();
    bool fileChangedByAnotherWriter() const;
    void takeAnotherWritersVersion();

    ConfigurationOrError configurationOrError_;
    // The version of the file the tree was read from or last saved as.
    std::optional<files::FileIdentity> fileIdentity_;
    std::map<ObserverToken, Observer> observers_;
    ObserverToken nextToken_ = 1;
    int changing_ = 0;
};

} // namespace tavlin
