#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "model/Action.h"
#include "model/ActionConfigurability.h"

namespace tavlin {

// The editable values of one action kind while a sheet is open, one case per kind with fields.
// Every kind keeps its own, so switching the kind back and forth loses nothing typed. Kinds whose
// stored payload is already what a sheet edits use it as it is.
namespace actionparams {

// The open-app picker's choice; the values keep both flags of the action.
enum class ActionIfRunning { none, hideApp, switchToPreviousApp };

using notification = Action::Kind::notification;
using openURL = Action::Kind::openURL;
struct openApp {
    std::string path;
    bool hideAppIfRunning = false;
    bool switchToPreviousApp = false;
    std::string launchArgumentsText;
    friend bool operator==(const openApp&, const openApp&) = default;
};
using openFile = Action::Kind::openFile;
using openFolder = Action::Kind::openFolder;
using runAppleScript = Action::Kind::runAppleScript;
struct menuCommand {
    std::string menuTitle;
    friend bool operator==(const menuCommand&, const menuCommand&) = default;
};
using executeFile = Action::Kind::executeFile;
struct simulateKeystroke {
    std::int64_t mainKeyCode = 0;
    bool cmd = false, shift = false, option = false, control = false;
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

// What the open-app picker shows for the values: switching back wins over hiding.
ActionIfRunning actionIfRunning(const openApp& values);
void setActionIfRunning(openApp& values, ActionIfRunning choice);

} // namespace actionparams

using ActionParams =
    std::variant<actionparams::notification, actionparams::openURL, actionparams::openApp, actionparams::openFile,
                 actionparams::openFolder, actionparams::runAppleScript, actionparams::menuCommand, actionparams::executeFile,
                 actionparams::simulateKeystroke, actionparams::switchInputMethod, actionparams::continueFromInterruption,
                 actionparams::stopKeySequenceAfterDelay, actionparams::getFrontmostApp, actionparams::getLeaderKey>;
using ActionParamsByKind = std::map<ActionConfigurationKind, ActionParams>;

// What one window's sheet makes of the values where the two windows differ.
struct ActionEditingRules {
    // The open-app action may switch back to the previous application (else that flag is dropped).
    bool switchToPreviousApp = true;
    // A URL must read as one with a scheme, as the action checks it when it runs (else any text).
    bool checksURL = true;
    // The input method can be chosen (else that kind is never made).
    bool choosesInputMethod = true;
    // The open panels label their name field "Choose:" (else the toolkit's label).
    bool labelsNameField = false;
    // A choice is bookmarked in the bookmarks manager, and one that cannot be is told and not
    // taken (else it is bookmarked for scoped access, whatever the outcome).
    bool bookmarksInManager = false;

    // How the fields look.
    // Each field keeps its own width, lined up on the left (else fields fill the sheet's width).
    bool fieldsKeepTheirWidth = true;
    // Launch arguments are offered only in Complex Mode (and, in both windows, with the helper).
    bool launchArgumentsNeedComplexMode = true;
    // What an open-app action does when the app runs is a picker of three (else the hide checkbox).
    bool actionIfRunningPicker = true;
    const char* openAppButton = "Choose App";
    // The title before the chosen application of the kinds that open an item with one.
    const char* openWithTitle = "Open with: ";
    // The script chooser is preceded by where the scripts must be, with a link to open it.
    bool showsScriptsFolder = false;
    // The menu title is one row with a help button (else the title above the field).
    bool menuTitleRow = true;
    // A chooser opens where the path chosen before is (else at the kind's own folder).
    bool choosersStartAtCurrentPath = true;
};
inline constexpr ActionEditingRules treeEditorRules{
    false, false, false, true, true, false, false, false, "Choose", "", true, false, false,
};
inline constexpr ActionEditingRules rowEditorRules{};

// Why values make no action.
enum class ActionFieldError {
    emptyNotificationTitle,
    openURLInvalidURL,
    openAppInvalidPath,
    openFileInvalidPath,
    openFolderInvalidPath,
    runAppleScriptInvalidPath,
    invalidMenuTitle,
    executeFileInvalidPath,
    inputMethodNotSelected,
    unknown,
};

// The fourteen kinds with fields, each with its empty or default values.
const ActionParamsByKind& defaultActionParamsByKind();
// The defaults with the entry of the action's own kind filled from it.
ActionParamsByKind actionParamsByKind(const Action& action);
// The action kind the values of `kind` make, or why they make none. Only `kind`'s own entry is
// read; a missing entry or one of another case is `unknown` (with one empty line printed), or
// `invalidMenuTitle` for a menu command. An empty application path is none.
std::variant<Action::Kind, ActionFieldError> makeActionKind(ActionConfigurationKind kind, const ActionParamsByKind& params,
                                                            const ActionEditingRules& rules);

// The note under the execute-file arguments.
inline constexpr std::string_view executeFileNote =
    "Note: \n\"The strings in arguments do not undergo shell expansion, \nso you do not need to do "
    "special quoting, \nand shell variables, such as $PWD, are not resolved.\"";

} // namespace tavlin
