#include "actionediting/core/ActionKinds.h"

#include "engine/Opening.h"
#include "platform/base/Diagnostics.h"

namespace tavlin {

namespace p = actionparams;
using K = ActionConfigurationKind;
using Error = ActionFieldError;
using Result = std::variant<Action::Kind, ActionFieldError>;

p::ActionIfRunning p::actionIfRunning(const openApp& values) {
    if (values.switchToPreviousApp) return ActionIfRunning::switchToPreviousApp;
    return values.hideAppIfRunning ? ActionIfRunning::hideApp : ActionIfRunning::none;
}

void p::setActionIfRunning(openApp& values, ActionIfRunning choice) {
    values.hideAppIfRunning = choice == ActionIfRunning::hideApp;
    values.switchToPreviousApp = choice == ActionIfRunning::switchToPreviousApp;
}

const ActionParamsByKind& defaultActionParamsByKind() {
    static const ActionParamsByKind defaults = {
        {K::notification, p::notification{}},
        {K::openURL, p::openURL{}},
        {K::openApp, p::openApp{}},
        {K::openFile, p::openFile{}},
        {K::openFolder, p::openFolder{}},
        {K::runAppleScript, p::runAppleScript{}},
        {K::menuCommand, p::menuCommand{}},
        {K::executeFile, p::executeFile{}},
        {K::simulateKeystroke, p::simulateKeystroke{}},
        {K::switchInputMethod, p::switchInputMethod{}},
        {K::continueFromInterruption, p::continueFromInterruption{}},
        {K::stopKeySequenceAfterDelay, p::stopKeySequenceAfterDelay{}},
        {K::getFrontmostApp, p::getFrontmostApp{}},
        {K::getLeaderKey, p::getLeaderKey{}},
    };
    return defaults;
}

ActionParamsByKind actionParamsByKind(const Action& action) {
    auto params = defaultActionParamsByKind();
    const auto& k = action.kind;
    using A = Action::Kind;
    if (const auto* c = k.get<A::notification>()) params[K::notification] = p::notification{c->title};
    else if (const auto* c = k.get<A::openURL>()) params[K::openURL] = p::openURL{c->url, c->applicationPath};
    else if (const auto* c = k.get<A::openApp>())
        params[K::openApp] = p::openApp{c->path, c->hideAppIfRunning, c->switchToPreviousApp.value_or(false),
                                        c->launchArgumentsText.value_or("")};
    else if (const auto* c = k.get<A::openFile>()) params[K::openFile] = p::openFile{c->filePath, c->applicationPath};
    else if (const auto* c = k.get<A::openFolder>()) params[K::openFolder] = p::openFolder{c->folderPath, c->applicationPath};
    else if (const auto* c = k.get<A::runAppleScript>()) params[K::runAppleScript] = p::runAppleScript{c->path};
    else if (const auto* c = k.get<A::menuCommand>()) params[K::menuCommand] = p::menuCommand{c->info.menuTitle};
    else if (const auto* c = k.get<A::executeFile>()) params[K::executeFile] = p::executeFile{c->path, c->argumentsText};
    else if (const auto* c = k.get<A::simulateKeystroke>()) {
        const auto& s = c->keystroke;
        params[K::simulateKeystroke] = p::simulateKeystroke{s.mainKeyCode, s.cmd, s.shift, s.option, s.control};
    } else if (const auto* c = k.get<A::switchInputMethod>())
        params[K::switchInputMethod] = p::switchInputMethod{c->inputSourceID};
    else if (const auto* c = k.get<A::continueFromInterruption>())
        params[K::continueFromInterruption] = p::continueFromInterruption{c->delay};
    else if (const auto* c = k.get<A::stopKeySequenceAfterDelay>())
        params[K::stopKeySequenceAfterDelay] = p::stopKeySequenceAfterDelay{c->delay};
    else if (const auto* c = k.get<A::getFrontmostApp>()) params[K::getFrontmostApp] = p::getFrontmostApp{c->kind};
    else if (const auto* c = k.get<A::getLeaderKey>())
        params[K::getLeaderKey] = p::getLeaderKey{c->kind.value_or(GetLeaderKeyKind::displayName)};
    return params;
}

namespace {

std::optional<std::string> presentPath(const std::optional<std::string>& path) {
    return path && !path->empty() ? path : std::nullopt;
}

template <typename Case>
const Case* entry(const ActionParamsByKind& params, K kind) {
    const auto found = params.find(kind);
    return found == params.end() ? nullptr : std::get_if<Case>(&found->second);
}

Result unknown() {
    diag::printLine(diag::Category::editor, "");
    return Error::unknown;
}

} // namespace

Result makeActionKind(ActionConfigurationKind kind, const ActionParamsByKind& params, const ActionEditingRules& rules) {
    using A = Action::Kind;
    switch (kind) {
    case K::openFinder: return A(A::openFinder{});
    case K::toggleConfigurationWindow: return A(A::toggleConfigurationWindow{});
    case K::switchWindow: return A(A::switchWindow{});
    case K::sleep: return A(A::sleep{});
    case K::notification: {
        const auto* e = entry<p::notification>(params, kind);
        if (!e) return unknown();
        if (e->title.empty()) return Error::emptyNotificationTitle;
        return A(A::notification{e->title});
    }
    case K::openURL: {
        const auto* e = entry<p::openURL>(params, kind);
        if (!e) return unknown();
        // The test the action runs with: a URL it would refuse each time is refused here, and
        // the scheme it needs keeps a text such as "--version" from ever reading as an option.
        if (e->url.empty() || (rules.checksURL && !isValidURL(e->url))) return Error::openURLInvalidURL;
        return A(A::openURL{e->url, presentPath(e->applicationPath)});
    }
    case K::openApp: {
        const auto* e = entry<p::openApp>(params, kind);
        if (!e) return unknown();
        if (e->path.empty()) return Error::openAppInvalidPath;
        if (!rules.switchToPreviousApp) return A(A::openApp{e->path, e->hideAppIfRunning, e->launchArgumentsText, false});
        const auto choice = p::actionIfRunning(*e);
        return A(A::openApp{e->path, choice == p::ActionIfRunning::hideApp, e->launchArgumentsText,
                            choice == p::ActionIfRunning::switchToPreviousApp});
    }
    case K::openFile: {
        const auto* e = entry<p::openFile>(params, kind);
        if (!e) return unknown();
        if (e->filePath.empty()) return Error::openFileInvalidPath;
        return A(A::openFile{e->filePath, presentPath(e->applicationPath)});
    }
    case K::openFolder: {
        const auto* e = entry<p::openFolder>(params, kind);
        if (!e) return unknown();
        if (e->folderPath.empty()) return Error::openFolderInvalidPath;
        return A(A::openFolder{e->folderPath, presentPath(e->applicationPath)});
    }
    case K::runAppleScript: {
        const auto* e = entry<p::runAppleScript>(params, kind);
        if (!e) return unknown();
        if (e->path.empty()) return Error::runAppleScriptInvalidPath;
        return A(A::runAppleScript{e->path});
    }
    case K::menuCommand: {
        const auto* e = entry<p::menuCommand>(params, kind);
        if (!e || e->menuTitle.empty()) return Error::invalidMenuTitle;
        return A(A::menuCommand{MenuCommandInfo{e->menuTitle}});
    }
    case K::executeFile: {
        const auto* e = entry<p::executeFile>(params, kind);
        if (!e) return unknown();
        if (e->path.empty()) return Error::executeFileInvalidPath;
        return A(A::executeFile{e->path, e->argumentsText});
    }
    case K::simulateKeystroke: {
        const auto* e = entry<p::simulateKeystroke>(params, kind);
        if (!e) return unknown();
        return A(A::simulateKeystroke{Keystroke{e->mainKeyCode, e->cmd, e->shift, e->option, e->control}});
    }
    case K::switchInputMethod: {
        const auto* e = entry<p::switchInputMethod>(params, kind);
        if (!e) return unknown();
        if (!rules.choosesInputMethod || !e->inputSourceID) return Error::inputMethodNotSelected;
        return A(A::switchInputMethod{*e->inputSourceID});
    }
    case K::continueFromInterruption: {
        const auto* e = entry<p::continueFromInterruption>(params, kind);
        if (!e) return unknown();
        return A(A::continueFromInterruption{e->delay});
    }
    case K::stopKeySequenceAfterDelay: {
        const auto* e = entry<p::stopKeySequenceAfterDelay>(params, kind);
        if (!e) return unknown();
        return A(A::stopKeySequenceAfterDelay{e->delay, std::nullopt});
    }
    case K::getFrontmostApp: {
        const auto* e = entry<p::getFrontmostApp>(params, kind);
        if (!e) return unknown();
        return A(A::getFrontmostApp{e->appInfoKind});
    }
    case K::getLeaderKey: {
        const auto* e = entry<p::getLeaderKey>(params, kind);
        if (!e) return unknown();
        return A(A::getLeaderKey{e->leaderKeyInfoKind});
    }
    }
    return unknown();
}

} // namespace tavlin
