#include "configwindow/core/ActionSheetItem.h"

#include "platform/Diagnostics.h"

namespace tavlin {

namespace p = actionparams;
using CK = ActionConfigurationKind;

const ActionParamsByKind& defaultActionParamsByKind() {
    static const ActionParamsByKind defaults = {
        {CK::notification, p::notification{}},
        {CK::openURL, p::openURL{}},
        {CK::openApp, p::openApp{}},
        {CK::openFile, p::openFile{}},
        {CK::openFolder, p::openFolder{}},
        {CK::runAppleScript, p::runAppleScript{}},
        {CK::menuCommand, p::menuCommand{}},
        {CK::executeFile, p::executeFile{}},
        {CK::simulateKeystroke, p::simulateKeystroke{}},
        {CK::continueFromInterruption, p::continueFromInterruption{}},
        {CK::stopKeySequenceAfterDelay, p::stopKeySequenceAfterDelay{}},
        {CK::getFrontmostApp, p::getFrontmostApp{}},
        {CK::getLeaderKey, p::getLeaderKey{}},
    };
    return defaults;
}

ActionParamsByKind actionParamsByKind(const Action& action) {
    auto params = defaultActionParamsByKind();
    const auto& k = action.kind;
    using K = Action::Kind;
    if (const auto* c = k.get<K::notification>()) params[CK::notification] = p::notification{c->title};
    else if (const auto* c = k.get<K::openURL>()) params[CK::openURL] = p::openURL{c->url, c->applicationPath};
    else if (const auto* c = k.get<K::openApp>())
        params[CK::openApp] = p::openApp{c->path, c->hideAppIfRunning, c->launchArgumentsText.value_or("")};
    else if (const auto* c = k.get<K::openFile>()) params[CK::openFile] = p::openFile{c->filePath, c->applicationPath};
    else if (const auto* c = k.get<K::openFolder>()) params[CK::openFolder] = p::openFolder{c->folderPath, c->applicationPath};
    else if (const auto* c = k.get<K::runAppleScript>()) params[CK::runAppleScript] = p::runAppleScript{c->path};
    else if (const auto* c = k.get<K::menuCommand>()) params[CK::menuCommand] = p::menuCommand{c->info.menuTitle};
    else if (const auto* c = k.get<K::executeFile>()) params[CK::executeFile] = p::executeFile{c->path, c->argumentsText};
    else if (const auto* c = k.get<K::simulateKeystroke>()) {
        const auto& s = c->keystroke;
        params[CK::simulateKeystroke] = p::simulateKeystroke{s.mainKeyCode, s.cmd, s.shift, s.option, s.control};
    } else if (const auto* c = k.get<K::continueFromInterruption>())
        params[CK::continueFromInterruption] = p::continueFromInterruption{c->delay};
    else if (const auto* c = k.get<K::stopKeySequenceAfterDelay>())
        params[CK::stopKeySequenceAfterDelay] = p::stopKeySequenceAfterDelay{c->delay};
    else if (const auto* c = k.get<K::getFrontmostApp>()) params[CK::getFrontmostApp] = p::getFrontmostApp{c->kind};
    else if (const auto* c = k.get<K::getLeaderKey>())
        params[CK::getLeaderKey] = p::getLeaderKey{c->kind.value_or(GetLeaderKeyKind::displayName)};
    return params;
}

namespace {

template <typename Case>
const Case* entry(const ActionParamsByKind& params, CK kind) {
    const auto found = params.find(kind);
    return found == params.end() ? nullptr : std::get_if<Case>(&found->second);
}

std::optional<std::string> noneWhenEmpty(const std::optional<std::string>& text) {
    return text && !text->empty() ? text : std::nullopt;
}

std::optional<Action::Kind> makeKind(CK kind, const ActionParamsByKind& params) {
    using K = Action::Kind;
    switch (kind) {
    case CK::notification:
        if (const auto* e = entry<p::notification>(params, kind); e && !e->title.empty()) return K::notification{e->title};
        return std::nullopt;
    case CK::openURL:
        if (const auto* e = entry<p::openURL>(params, kind); e && !e->url.empty())
            return K::openURL{e->url, noneWhenEmpty(e->applicationPath)};
        return std::nullopt;
    case CK::openApp:
        if (const auto* e = entry<p::openApp>(params, kind); e && !e->path.empty())
            return K::openApp{e->path, e->hideAppIfRunning, e->launchArgumentsText, false};
        return std::nullopt;
    case CK::openFile:
        if (const auto* e = entry<p::openFile>(params, kind); e && !e->filePath.empty())
            return K::openFile{e->filePath, noneWhenEmpty(e->applicationPath)};
        return std::nullopt;
    case CK::openFolder:
        if (const auto* e = entry<p::openFolder>(params, kind); e && !e->folderPath.empty())
            return K::openFolder{e->folderPath, noneWhenEmpty(e->applicationPath)};
        return std::nullopt;
    case CK::runAppleScript:
        if (const auto* e = entry<p::runAppleScript>(params, kind); e && !e->path.empty()) return K::runAppleScript{e->path};
        return std::nullopt;
    case CK::menuCommand:
        if (const auto* e = entry<p::menuCommand>(params, kind); e && !e->menuTitle.empty())
            return K::menuCommand{MenuCommandInfo{e->menuTitle}};
        return std::nullopt;
    case CK::executeFile:
        if (const auto* e = entry<p::executeFile>(params, kind); e && !e->path.empty())
            return K::executeFile{e->path, e->argumentsText};
        return std::nullopt;
    case CK::simulateKeystroke:
        if (const auto* e = entry<p::simulateKeystroke>(params, kind)) {
            Keystroke keystroke;
            keystroke.mainKeyCode = e->mainKeyCode;
            keystroke.cmd = e->cmd;
            keystroke.shift = e->shift;
            keystroke.option = e->option;
            keystroke.control = e->control;
            return K::simulateKeystroke{keystroke};
        }
        return std::nullopt;
    case CK::continueFromInterruption:
        if (const auto* e = entry<p::continueFromInterruption>(params, kind)) return K::continueFromInterruption{e->delay};
        return std::nullopt;
    case CK::stopKeySequenceAfterDelay:
        if (const auto* e = entry<p::stopKeySequenceAfterDelay>(params, kind))
            return K::stopKeySequenceAfterDelay{e->delay, std::nullopt};
        return std::nullopt;
    case CK::getFrontmostApp:
        if (const auto* e = entry<p::getFrontmostApp>(params, kind)) return K::getFrontmostApp{e->appInfoKind};
        return std::nullopt;
    case CK::getLeaderKey:
        if (const auto* e = entry<p::getLeaderKey>(params, kind)) return K::getLeaderKey{e->leaderKeyInfoKind};
        return std::nullopt;
    case CK::openFinder: return K::openFinder{};
    case CK::toggleConfigurationWindow: return K::toggleConfigurationWindow{};
    case CK::switchWindow: return K::switchWindow{};
    case CK::sleep: return K::sleep{};
    case CK::switchInputMethod: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<Action> makeAction(const std::string& description, CK kind, const ActionParamsByKind& params) {
    auto actionKind = makeKind(kind, params);
    if (!actionKind) return std::nullopt;
    return Action(std::move(*actionKind), description.empty() ? std::nullopt : std::optional<std::string>(description));
}

bool ActionSheetItem::isReadOnly() const {
    const auto* edit = std::get_if<Edit>(&changeKind);
    return edit && configurability(edit->oldAction).isReadOnly();
}

ActionSheetItem ActionSheetItem::make(DecisionPtr decision, ChangeKind changeKind, ChangeWrapper changeWrapper,
                                      std::function<bool(const Decision&)> stillInTree,
                                      std::function<void(const Uuid&, const Uuid&)> replaced) {
    ActionSheetItem item;
    item.changeKind = changeKind;
    if (const auto* edit = std::get_if<Edit>(&changeKind)) {
        item.initialConfigurationKind = configurability(edit->oldAction).configurationKind;
        item.paramsByKind = actionParamsByKind(edit->oldAction);
        item.actionDescription = edit->oldAction.actionDescription.value_or("");
    } else {
        item.paramsByKind = defaultActionParamsByKind();
    }
    item.allKinds = offeredKinds();
    item.newActionHandler = [decision, changeKind, changeWrapper, stillInTree, replaced](const Action& action) {
        // The indices were taken when the sheet opened; the tree may have changed since (a reload,
        // a sort, another window's edit). Applying them blindly would edit the wrong action or a
        // tree no longer shown, so such a sheet changes nothing.
        const auto size = static_cast<int>(decision->actions.size());
        const bool inTree = !stillInTree || stillInTree(*decision);
        if (const auto* edit = std::get_if<Edit>(&changeKind)) {
            const int i = edit->replaceIndex;
            if (!inTree || i < 0 || i >= size || decision->actions[static_cast<std::size_t>(i)].id != edit->oldAction.id) {
                diag::printLine("");
                return;
            }
            changeWrapper([&] {
                decision->actions[static_cast<std::size_t>(i)] = action;
                if (replaced) replaced(edit->oldAction.id, action.id);
            });
        } else {
            const int i = std::get<New>(changeKind).insertIndex;
            if (!inTree || i < 0 || i > size) {
                diag::printLine("");
                return;
            }
            changeWrapper([&] { decision->actions.insert(decision->actions.begin() + i, action); });
        }
    };
    return item;
}

} // namespace tavlin
