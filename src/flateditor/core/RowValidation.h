#pragma once

#include <optional>
#include <string>
#include <variant>

#include "flateditor/core/KeyBindingConflict.h"
#include "flateditor/core/RowLeaderKey.h"
#include "flateditor/core/RowSheetParams.h"

namespace tavlin::flateditor {

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
    // The cases without payload.
    enum class Plain {
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
