#include "model/ActionConfigurability.h"

#include <algorithm>

#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {
namespace {

using C = ActionConfigurationKind;

struct KindInfo {
    C kind;
    std::string_view rawValue;
    std::string_view title;
};

constexpr KindInfo kindInfos[] = {
    {C::notification, "notification", "Notification"},
    {C::openURL, "openURL", "Open URL"},
    {C::openApp, "openApp", "Open App"},
    {C::openFinder, "openFinder", words::openFileManager},
    {C::openFile, "openFile", "Open File"},
    {C::openFolder, "openFolder", "Open Folder"},
    {C::runAppleScript, "runAppleScript", words::runScript},
    {C::toggleConfigurationWindow, "toggleConfigurationWindow", "Toggle Configuration Window"},
    {C::menuCommand, "menuCommand", "Run Menu Command"},
    {C::switchWindow, "switchWindow", "Switch To Recent Window"},
    {C::executeFile, "executeFile", "Execute File"},
    {C::sleep, "sleep", "Sleep"},
    {C::simulateKeystroke, "simulateKeystroke", "Simulate Keystroke"},
    {C::switchInputMethod, "switchInputMethod", "Switch Input Method"},
    {C::continueFromInterruption, "continueFromInterruption", "Continue From Interruption"},
    {C::stopKeySequenceAfterDelay, "stopKeySequenceAfterDelay", "Stop Key Sequence After Delay"},
    {C::getFrontmostApp, "getFrontmostApp", "Get Frontmost App"},
    {C::getLeaderKey, "getLeaderKey", "Get Leader Key"},
};

const KindInfo& info(C kind) { return kindInfos[static_cast<std::size_t>(kind)]; }

bool isExperimental(C kind) { return kind == C::continueFromInterruption || kind == C::stopKeySequenceAfterDelay; }

} // namespace

const std::vector<C>& allActionConfigurationKinds() {
    static const std::vector<C> all = [] {
        std::vector<C> kinds;
        for (const auto& entry : kindInfos) kinds.push_back(entry.kind);
        return kinds;
    }();
    return all;
}

std::string_view rawValue(C kind) { return info(kind).rawValue; }

std::optional<C> actionConfigurationKindFromRawValue(std::string_view text) {
    for (const auto& entry : kindInfos) {
        if (entry.rawValue == text) return entry.kind;
    }
    return std::nullopt;
}

std::string_view title(C kind) { return info(kind).title; }

const std::vector<C>& helperKinds() {
    static const std::vector<C> kinds{C::menuCommand, C::switchWindow,      C::executeFile,
                                      C::sleep,       C::simulateKeystroke, C::switchInputMethod};
    return kinds;
}

ActionConfigurability configurability(const Action& action) {
    using K = Action::Kind;
    const auto& kind = action.kind;
    if (kind.is<K::menu>()) {
        diag::printLine("unexpected, supposed to be converted to menuCommand");
        return {};
    }
    if (kind.is<K::internalMethod>() || kind.is<K::reWaitTriggerKeys>()) return {};
    // Every other case has the configuration kind of the same name.
    const auto configurationKind = actionConfigurationKindFromRawValue(kind.caseName());
    if (!configurationKind) return {};
    if (contains(helperKinds(), *configurationKind) && !isHelperRunning()) return {};
    return {configurationKind};
}

std::vector<C> offeredKinds() {
    std::vector<C> kinds = allActionConfigurationKinds();
    if (!isHelperRunning()) {
        std::erase_if(kinds, [](C kind) { return contains(helperKinds(), kind); });
    }
    if (!settings::showExperimentalActions()) std::erase_if(kinds, isExperimental);
    return kinds;
}

bool contains(const std::vector<C>& kinds, C kind) { return std::find(kinds.begin(), kinds.end(), kind) != kinds.end(); }

} // namespace tavlin
