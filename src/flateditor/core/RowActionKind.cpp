#include "flateditor/core/RowActionKind.h"

#include "engine/Opening.h"
#include "platform/Diagnostics.h"

namespace tavlin::flateditor {
namespace {

using K = ActionConfigurationKind;
using Plain = ValidationError::Plain;
using Result = std::variant<Action::Kind, ValidationError>;

// An empty application path is no application.
std::optional<std::string> presentPath(const std::optional<std::string>& path) {
    return path && !path->empty() ? path : std::nullopt;
}

template <typename Case>
const Case* entry(const RowParamsByKind& params, K kind) {
    const auto found = params.find(kind);
    return found == params.end() ? nullptr : std::get_if<Case>(&found->second);
}

Result unknown() {
    diag::printLine("");
    return ValidationError(Plain::unknown);
}

} // namespace

Result makeActionKind(ActionConfigurationKind kind, const RowParamsByKind& params) {
    switch (kind) {
    case K::openFinder: return Action::Kind(Action::Kind::openFinder{});
    case K::toggleConfigurationWindow: return Action::Kind(Action::Kind::toggleConfigurationWindow{});
    case K::switchWindow: return Action::Kind(Action::Kind::switchWindow{});
    case K::sleep: return Action::Kind(Action::Kind::sleep{});
    case K::notification: {
        const auto* p = entry<rowparams::notification>(params, kind);
        if (!p) return unknown();
        if (p->title.empty()) return ValidationError(Plain::emptyNotificationTitle);
        return Action::Kind(Action::Kind::notification{p->title});
    }
    case K::openURL: {
        const auto* p = entry<rowparams::openURL>(params, kind);
        if (!p) return unknown();
        // The test the action runs with: a URL it would refuse each time is refused here, and
        // the scheme it needs keeps a text such as "--version" from ever reading as an option.
        if (!isValidURL(p->url)) return ValidationError(Plain::openURLInvalidURL);
        return Action::Kind(Action::Kind::openURL{p->url, presentPath(p->applicationPath)});
    }
    case K::openApp: {
        const auto* p = entry<rowparams::openApp>(params, kind);
        if (!p) return unknown();
        if (p->path.empty()) return ValidationError(Plain::openAppInvalidPath);
        return Action::Kind(Action::Kind::openApp{p->path, p->actionIfRunning == rowparams::ActionIfRunning::hideApp,
                                                  p->launchArgumentsText,
                                                  p->actionIfRunning == rowparams::ActionIfRunning::switchToPreviousApp});
    }
    case K::openFile: {
        const auto* p = entry<rowparams::openFile>(params, kind);
        if (!p) return unknown();
        if (p->filePath.empty()) return ValidationError(Plain::openFileInvalidPath);
        return Action::Kind(Action::Kind::openFile{p->filePath, presentPath(p->applicationPath)});
    }
    case K::openFolder: {
        const auto* p = entry<rowparams::openFolder>(params, kind);
        if (!p) return unknown();
        if (p->folderPath.empty()) return ValidationError(Plain::openFolderInvalidPath);
        return Action::Kind(Action::Kind::openFolder{p->folderPath, presentPath(p->applicationPath)});
    }
    case K::runAppleScript: {
        const auto* p = entry<rowparams::runAppleScript>(params, kind);
        if (!p) return unknown();
        if (p->path.empty()) return ValidationError(Plain::runAppleScriptInvalidPath);
        return Action::Kind(Action::Kind::runAppleScript{p->path});
    }
    case K::menuCommand: {
        const auto* p = entry<rowparams::menuCommand>(params, kind);
        if (!p || p->menuTitle.empty()) return ValidationError(Plain::invalidMenuTitle);
        return Action::Kind(Action::Kind::menuCommand{MenuCommandInfo{p->menuTitle}});
    }
    case K::executeFile: {
        const auto* p = entry<rowparams::executeFile>(params, kind);
        if (!p) return unknown();
        if (p->path.empty()) return ValidationError(Plain::executeFileInvalidPath);
        return Action::Kind(Action::Kind::executeFile{p->path, p->argumentsText});
    }
    case K::simulateKeystroke: {
        const auto* p = entry<rowparams::simulateKeystroke>(params, kind);
        if (!p) return unknown();
        return Action::Kind(Action::Kind::simulateKeystroke{Keystroke{p->mainKeyCode, p->cmd, p->shift, p->option, p->control}});
    }
    case K::switchInputMethod: {
        const auto* p = entry<rowparams::switchInputMethod>(params, kind);
        if (!p) return unknown();
        if (!p->inputSourceID) return ValidationError(Plain::inputMethodNotSelected);
        return Action::Kind(Action::Kind::switchInputMethod{*p->inputSourceID});
    }
    case K::continueFromInterruption: {
        const auto* p = entry<rowparams::continueFromInterruption>(params, kind);
        if (!p) return unknown();
        return Action::Kind(Action::Kind::continueFromInterruption{p->delay});
    }
    case K::stopKeySequenceAfterDelay: {
        const auto* p = entry<rowparams::stopKeySequenceAfterDelay>(params, kind);
        if (!p) return unknown();
        return Action::Kind(Action::Kind::stopKeySequenceAfterDelay{p->delay, std::nullopt});
    }
    case K::getFrontmostApp: {
        const auto* p = entry<rowparams::getFrontmostApp>(params, kind);
        if (!p) return unknown();
        return Action::Kind(Action::Kind::getFrontmostApp{p->appInfoKind});
    }
    case K::getLeaderKey: {
        const auto* p = entry<rowparams::getLeaderKey>(params, kind);
        if (!p) return unknown();
        return Action::Kind(Action::Kind::getLeaderKey{p->leaderKeyInfoKind});
    }
    }
    return unknown();
}

} // namespace tavlin::flateditor
