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

} // namespace

RowSheetItem::RowSheetItem(RowChangeKind change, RowSaved rowSaved)
    : changeKind(std::move(change)),
      initialLeaderKey(LeaderKey::press(HotKey::singleModifier(settings::previousSetLeaderKeySingleModier()))) {
    if (const auto* old = changeKind.oldRow()) {
        initialLeaderKey = old->leaderKey;
        initialConfigurationKind = configurability(old->action).configurationKind;
        paramsSByKind = actionParamsByKind(old->action);
        actionDescription = old->action.actionDescription.value_or("");
        endLeaderKeyStatusAfterActionExecution = old->endLeaderKeyStatusAfterActionExecution;
    } else {
        paramsSByKind = defaultActionParamsByKind();
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
