#include "configwindow/core/ActionSheetItem.h"

#include "platform/base/Diagnostics.h"

namespace tavlin {

using CK = ActionConfigurationKind;

std::optional<Action> makeAction(const std::string& description, CK kind, const ActionParamsByKind& params) {
    auto made = makeActionKind(kind, params, treeEditorRules);
    auto* actionKind = std::get_if<Action::Kind>(&made);
    if (!actionKind) return std::nullopt;
    return Action(std::move(*actionKind), description.empty() ? std::nullopt : std::optional<std::string>(description));
}

bool ActionSheetItem::isReadOnly() const {
    const auto* edit = std::get_if<Edit>(&changeKind);
    return edit && configurability(edit->oldAction).isReadOnly();
}

ActionSheetItem ActionSheetItem::make(DecisionPtr decision, ChangeKind changeKind, const ChangeWrapper& changeWrapper,
                                      const std::function<bool(const Decision&)>& stillInTree,
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
                diag::printLine(diag::Category::editor, "");
                return;
            }
            changeWrapper([&] {
                decision->actions[static_cast<std::size_t>(i)] = action;
                if (replaced) replaced(edit->oldAction.id, action.id);
            });
        } else {
            const int i = std::get<New>(changeKind).insertIndex;
            if (!inTree || i < 0 || i > size) {
                diag::printLine(diag::Category::editor, "");
                return;
            }
            changeWrapper([&] { decision->actions.insert(decision->actions.begin() + i, action); });
        }
    };
    return item;
}

} // namespace tavlin
