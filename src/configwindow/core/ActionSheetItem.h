#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/ActionConfigurability.h"
#include "model/Decision.h"

namespace tavlin {

// The editable values of one action kind in the action sheet. Every kind keeps its own while the
// sheet is open, so switching the kind back and forth loses nothing typed.
namespace actionparams {
struct notification {
    std::string title;
    friend bool operator==(const notification&, const notification&) = default;
};
struct openURL {
    std::string url;
    std::optional<std::string> applicationPath;
    friend bool operator==(const openURL&, const openURL&) = default;
};
struct openApp {
    std::string path;
    bool hideAppIfRunning = false;
    std::string launchArgumentsText;
    friend bool operator==(const openApp&, const openApp&) = default;
};
struct openFile {
    std::string filePath;
    std::optional<std::string> applicationPath;
    friend bool operator==(const openFile&, const openFile&) = default;
};
struct openFolder {
    std::string folderPath;
    std::optional<std::string> applicationPath;
    friend bool operator==(const openFolder&, const openFolder&) = default;
};
struct runAppleScript {
    std::string path;
    friend bool operator==(const runAppleScript&, const runAppleScript&) = default;
};
struct menuCommand {
    std::string menuTitle;
    friend bool operator==(const menuCommand&, const menuCommand&) = default;
};
struct executeFile {
    std::string path;
    std::optional<std::string> argumentsText;
    friend bool operator==(const executeFile&, const executeFile&) = default;
};
struct simulateKeystroke {
    std::int64_t mainKeyCode = 0;
    bool cmd = false, shift = false, option = false, control = false;
    friend bool operator==(const simulateKeystroke&, const simulateKeystroke&) = default;
};
struct continueFromInterruption {
    double delay = 0.05;
    friend bool operator==(const continueFromInterruption&, const continueFromInterruption&) = default;
};
struct stopKeySequenceAfterDelay {
    double delay = 0.5;
    friend bool operator==(const stopKeySequenceAfterDelay&, const stopKeySequenceAfterDelay&) = default;
};
struct getFrontmostApp {
    GetFrontmostAppKind appInfoKind = GetFrontmostAppKind::localizedName;
    friend bool operator==(const getFrontmostApp&, const getFrontmostApp&) = default;
};
struct getLeaderKey {
    GetLeaderKeyKind leaderKeyInfoKind = GetLeaderKeyKind::displayName;
    friend bool operator==(const getLeaderKey&, const getLeaderKey&) = default;
};
} // namespace actionparams

using ActionParams =
    std::variant<actionparams::notification, actionparams::openURL, actionparams::openApp, actionparams::openFile,
                 actionparams::openFolder, actionparams::runAppleScript, actionparams::menuCommand, actionparams::executeFile,
                 actionparams::simulateKeystroke, actionparams::continueFromInterruption, actionparams::stopKeySequenceAfterDelay,
                 actionparams::getFrontmostApp, actionparams::getLeaderKey>;
using ActionParamsByKind = std::map<ActionConfigurationKind, ActionParams>;

// The thirteen kinds with fields, each with its empty or default values.
const ActionParamsByKind& defaultActionParamsByKind();
// The defaults with the entry of the action's own kind filled from it.
ActionParamsByKind actionParamsByKind(const Action& action);
// The action the values make (a new identifier), or nothing while a required text is empty,
// the entry is missing or of another kind. An empty description is none.
std::optional<Action> makeAction(const std::string& description, ActionConfigurationKind kind, const ActionParamsByKind& params);

// What the action sheet is for, and what Save does with its action.
struct ActionSheetItem {
    struct New {
        int insertIndex;
    };
    struct Edit {
        Action oldAction;
        int replaceIndex;
    };
    using ChangeKind = std::variant<New, Edit>;
    using ChangeWrapper = std::function<void(const std::function<void()>& edit)>;

    Uuid id = Uuid::random();
    ChangeKind changeKind;
    std::optional<ActionConfigurationKind> initialConfigurationKind;
    std::vector<ActionConfigurationKind> allKinds;
    ActionParamsByKind paramsByKind;
    std::string actionDescription;
    // Applies the composed action to the decision through the change wrapper.
    std::function<void(const Action&)> newActionHandler;

    // `replaced` is told inside the edit when Save replaced an action by a new one.
    static ActionSheetItem make(DecisionPtr decision, ChangeKind changeKind, ChangeWrapper changeWrapper,
                                std::function<bool(const Decision&)> stillInTree = nullptr,
                                std::function<void(const Uuid& oldID, const Uuid& newID)> replaced = nullptr);

    // Editing an action that cannot be edited now shows it read-only.
    bool isReadOnly() const;
    // The kind the sheet opens on.
    ActionConfigurationKind startKind() const { return initialConfigurationKind.value_or(ActionConfigurationKind::openURL); }
};

} // namespace tavlin
