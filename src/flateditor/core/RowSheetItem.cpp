#include "flateditor/core/RowSheetItem.h"

#include "engine/InputSources.h"
#include "model/Settings.h"

namespace tavlin::flateditor {
namespace {

using K = ActionConfigurationKind;

std::vector<ActionConfigurationKind> sheetKinds() {
    std::vector<ActionConfigurationKind> kinds;
    for (const auto kind : offeredKinds())
        if (kind != K::getFrontmostApp && kind != K::getLeaderKey) kinds.push_back(kind);
    return kinds;
}

rowparams::ActionIfRunning actionIfRunning(const Action::Kind::openApp& open) {
    if (open.switchToPreviousApp.value_or(false)) return rowparams::ActionIfRunning::switchToPreviousApp;
    if (open.hideAppIfRunning) return rowparams::ActionIfRunning::hideApp;
    return rowparams::ActionIfRunning::none;
}

// The action's own entry; nothing for kinds without parameters and for the older menu form.
std::optional<std::pair<K, RowSheetParams>> ownParams(const Action::Kind& kind) {
    using A = Action::Kind;
    using R = std::optional<std::pair<K, RowSheetParams>>;
    return std::visit(
        [](const auto& c) -> R {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, A::notification>) return R{{K::notification, rowparams::notification{c.title}}};
            else if constexpr (std::is_same_v<C, A::openURL>)
                return R{{K::openURL, rowparams::openURL{c.url, c.applicationPath}}};
            else if constexpr (std::is_same_v<C, A::openApp>)
                return R{{K::openApp, rowparams::openApp{c.path, actionIfRunning(c), c.launchArgumentsText.value_or("")}}};
            else if constexpr (std::is_same_v<C, A::openFile>)
                return R{{K::openFile, rowparams::openFile{c.filePath, c.applicationPath}}};
            else if constexpr (std::is_same_v<C, A::openFolder>)
                return R{{K::openFolder, rowparams::openFolder{c.folderPath, c.applicationPath}}};
            else if constexpr (std::is_same_v<C, A::runAppleScript>)
                return R{{K::runAppleScript, rowparams::runAppleScript{c.path}}};
            else if constexpr (std::is_same_v<C, A::menuCommand>)
                return R{{K::menuCommand, rowparams::menuCommand{c.info.menuTitle}}};
            else if constexpr (std::is_same_v<C, A::executeFile>)
                return R{{K::executeFile, rowparams::executeFile{c.path, c.argumentsText}}};
            else if constexpr (std::is_same_v<C, A::simulateKeystroke>)
                return R{{K::simulateKeystroke,
                          rowparams::simulateKeystroke{c.keystroke.mainKeyCode, c.keystroke.cmd, c.keystroke.shift,
                                                       c.keystroke.option, c.keystroke.control}}};
            else if constexpr (std::is_same_v<C, A::switchInputMethod>)
                return R{{K::switchInputMethod, rowparams::switchInputMethod{c.inputSourceID}}};
            else if constexpr (std::is_same_v<C, A::continueFromInterruption>)
                return R{{K::continueFromInterruption, rowparams::continueFromInterruption{c.delay}}};
            else if constexpr (std::is_same_v<C, A::stopKeySequenceAfterDelay>)
                return R{{K::stopKeySequenceAfterDelay, rowparams::stopKeySequenceAfterDelay{c.delay}}};
            else if constexpr (std::is_same_v<C, A::getFrontmostApp>)
                return R{{K::getFrontmostApp, rowparams::getFrontmostApp{c.kind}}};
            else if constexpr (std::is_same_v<C, A::getLeaderKey>)
                return R{{K::getLeaderKey, rowparams::getLeaderKey{c.kind.value_or(GetLeaderKeyKind::displayName)}}};
            else return std::nullopt;
        },
        kind.value());
}

} // namespace

const RowParamsByKind& defaultParamsByKind() {
    static const RowParamsByKind defaults{
        {K::notification, rowparams::notification{}},
        {K::openURL, rowparams::openURL{}},
        {K::openApp, rowparams::openApp{}},
        {K::openFile, rowparams::openFile{}},
        {K::openFolder, rowparams::openFolder{}},
        {K::runAppleScript, rowparams::runAppleScript{}},
        {K::menuCommand, rowparams::menuCommand{}},
        {K::executeFile, rowparams::executeFile{}},
        {K::simulateKeystroke, rowparams::simulateKeystroke{}},
        {K::switchInputMethod, rowparams::switchInputMethod{}},
        {K::continueFromInterruption, rowparams::continueFromInterruption{0.05}},
        {K::stopKeySequenceAfterDelay, rowparams::stopKeySequenceAfterDelay{0.5}},
        {K::getFrontmostApp, rowparams::getFrontmostApp{GetFrontmostAppKind::localizedName}},
        {K::getLeaderKey, rowparams::getLeaderKey{GetLeaderKeyKind::displayName}},
    };
    return defaults;
}

RowParamsByKind paramsByKind(const Action& action) {
    auto params = defaultParamsByKind();
    if (auto own = ownParams(action.kind)) params.insert_or_assign(own->first, std::move(own->second));
    return params;
}

RowSheetItem::RowSheetItem(RowChangeKind change, RowSaved rowSaved)
    : changeKind(std::move(change)),
      initialLeaderKey(LeaderKey::press(HotKey::singleModifier(settings::previousSetLeaderKeySingleModier()))) {
    if (const auto* old = changeKind.oldRow()) {
        initialLeaderKey = old->leaderKey;
        initialConfigurationKind = configurability(old->action).configurationKind;
        paramsSByKind = paramsByKind(old->action);
        actionDescription = old->action.actionDescription.value_or("");
        endLeaderKeyStatusAfterActionExecution = old->endLeaderKeyStatusAfterActionExecution;
    } else {
        paramsSByKind = defaultParamsByKind();
    }
    allKinds = sheetKinds();
    InputSourceManager::reloadSelectableInputSources();
    newRowHandler = [changeKind = changeKind, rowSaved = std::move(rowSaved)](const FlatKeysAndActionRow& row,
                                                                              std::map<std::string, DefaultsValue> alsoStored) {
        return commitRow(changeKind, row, rowSaved, std::move(alsoStored));
    };
}

bool initialComplexMode(const RowSheetItem& item) {
    if (const auto* old = item.changeKind.oldRow(); old && old->requiresComplexMode()) return true;
    return settings::previousCheckedComplexMode();
}

std::vector<std::int64_t> initialKeys(const RowSheetItem& item) {
    const auto* old = item.changeKind.oldRow();
    return old ? old->keys : std::vector<std::int64_t>{};
}

} // namespace tavlin::flateditor
