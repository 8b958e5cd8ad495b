#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "model/Action.h"

namespace tavlin::flateditor {

// The editable parameters of one configurable action kind, as the row sheet keeps them while it
// is open. One case per kind that has parameters; the case names follow the kinds.
namespace rowparams {

enum class ActionIfRunning { none, hideApp, switchToPreviousApp };

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
    ActionIfRunning actionIfRunning = ActionIfRunning::none;
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
    bool cmd = false;
    bool shift = false;
    bool option = false;
    bool control = false;
    friend bool operator==(const simulateKeystroke&, const simulateKeystroke&) = default;
};
struct switchInputMethod {
    std::optional<std::string> inputSourceID;
    friend bool operator==(const switchInputMethod&, const switchInputMethod&) = default;
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

} // namespace rowparams

using RowSheetParams =
    std::variant<rowparams::notification, rowparams::openURL, rowparams::openApp, rowparams::openFile, rowparams::openFolder,
                 rowparams::runAppleScript, rowparams::menuCommand, rowparams::executeFile, rowparams::simulateKeystroke,
                 rowparams::switchInputMethod, rowparams::continueFromInterruption, rowparams::stopKeySequenceAfterDelay,
                 rowparams::getFrontmostApp, rowparams::getLeaderKey>;

// The controls of the row sheet that keyboard focus can be sent to, e.g. by a failed save.
enum class RowSheetField {
    leaderKeySetting,
    newKeyToAppendPicker,
    addNewKeyButton,
    keyBindingConflictMessage,
    notificationTitle,
    openURLURLField,
    openAppPathField,
    openFilePathField,
    openFolderPathField,
    runApplieScriptPathField,
    menuTitleFields,
    executeFilePathField,
    inputMethodsList,
};

} // namespace tavlin::flateditor
