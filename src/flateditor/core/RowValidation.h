#pragma once

#include <optional>
#include <string>
#include <variant>

#include "actionediting/core/ActionKinds.h"
#include "flateditor/core/KeyBindingConflict.h"
#include "flateditor/core/RowLeaderKey.h"

namespace tavlin::flateditor {

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

// Why the row sheet refuses to save, in the order the checks run.
struct ValidationError {
    struct invalidLeaderKeySetting {
        LeaderKeySettingError settingError;
        friend bool operator==(const invalidLeaderKeySetting&, const invalidLeaderKeySetting&) = default;
    };
    struct keyBindingConflict {
        KeyBindingConflictKind kind;
        friend bool operator==(const keyBindingConflict&, const keyBindingConflict&) = default;
    };
    // The cases without payload: those of the action's fields.
    using Plain = ActionFieldError;
    std::variant<invalidLeaderKeySetting, keyBindingConflict, Plain> value;

    ValidationError(invalidLeaderKeySetting error) : value(error) {}
    ValidationError(keyBindingConflict error) : value(std::move(error)) {}
    ValidationError(Plain error) : value(error) {}

    // The text under the action group: "Invalid leader key settings: no hot key recorded." ...
    std::string message() const;
    friend bool operator==(const ValidationError&, const ValidationError&) = default;
};

// The control a failed save sends the focus to; nothing for `unknown`.
std::optional<RowSheetField> field(const ValidationError& error);

} // namespace tavlin::flateditor
