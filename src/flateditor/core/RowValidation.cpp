#include "flateditor/core/RowValidation.h"

namespace tavlin::flateditor {
namespace {

using Plain = ValidationError::Plain;

std::string plainMessage(Plain error) {
    switch (error) {
    case Plain::emptyNotificationTitle: return "Empty notification title.";
    case Plain::openURLInvalidURL: return "Invalid URL.";
    case Plain::openAppInvalidPath:
    case Plain::openFileInvalidPath:
    case Plain::openFolderInvalidPath:
    case Plain::runAppleScriptInvalidPath:
    case Plain::executeFileInvalidPath: return "Invalid path.";
    case Plain::invalidMenuTitle: return "Invalid menu title.";
    case Plain::inputMethodNotSelected: return "Input method not selected.";
    case Plain::unknown: return "Unknown error.";
    }
    return "Unknown error.";
}

std::optional<RowSheetField> plainField(Plain error) {
    switch (error) {
    case Plain::emptyNotificationTitle: return RowSheetField::notificationTitle;
    case Plain::openURLInvalidURL: return RowSheetField::openURLURLField;
    case Plain::openAppInvalidPath: return RowSheetField::openAppPathField;
    case Plain::openFileInvalidPath: return RowSheetField::openFilePathField;
    case Plain::openFolderInvalidPath: return RowSheetField::openFolderPathField;
    case Plain::runAppleScriptInvalidPath: return RowSheetField::runApplieScriptPathField;
    case Plain::invalidMenuTitle: return RowSheetField::menuTitleFields;
    case Plain::executeFileInvalidPath: return RowSheetField::executeFilePathField;
    case Plain::inputMethodNotSelected: return RowSheetField::inputMethodsList;
    case Plain::unknown: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::string ValidationError::message() const {
    if (const auto* leader = std::get_if<invalidLeaderKeySetting>(&value))
        return "Invalid leader key settings: " + std::string(settingText(leader->settingError)) + ".";
    if (std::holds_alternative<keyBindingConflict>(value)) return "Conflict with existing key bindings.";
    return plainMessage(std::get<Plain>(value));
}

std::optional<RowSheetField> field(const ValidationError& error) {
    if (std::holds_alternative<ValidationError::invalidLeaderKeySetting>(error.value)) return RowSheetField::leaderKeySetting;
    if (std::holds_alternative<ValidationError::keyBindingConflict>(error.value)) return RowSheetField::keyBindingConflictMessage;
    return plainField(std::get<Plain>(error.value));
}

} // namespace tavlin::flateditor
