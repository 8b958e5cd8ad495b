#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "actionediting/core/ActionKinds.h"
#include "model/ActionConfigurability.h"
#include "model/Decision.h"

namespace tavlin {

// The action the values make under the tree editor's rules (a new identifier), or nothing while
// a required text is empty, the entry is missing or of another kind. An empty description is none.
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
    static ActionSheetItem make(DecisionPtr decision, ChangeKind changeKind, const ChangeWrapper& changeWrapper,
                                const std::function<bool(const Decision&)>& stillInTree = nullptr,
                                std::function<void(const Uuid& oldID, const Uuid& newID)> replaced = nullptr);

    // Editing an action that cannot be edited now shows it read-only.
    bool isReadOnly() const;
    // The kind the sheet opens on.
    ActionConfigurationKind startKind() const { return initialConfigurationKind.value_or(ActionConfigurationKind::openURL); }
};

} // namespace tavlin
