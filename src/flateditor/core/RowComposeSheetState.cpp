#include "flateditor/core/RowComposeSheetState.h"

#include "model/Settings.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::flateditor {

RowComposeSheetState::RowComposeSheetState(RowSheetItem item) : RowComposeSheetState(std::move(item), LeaderKeySuspension()) {}

RowComposeSheetState::RowComposeSheetState(RowSheetItem item, LeaderKeySuspension::Switches leaderKeySwitches)
    : RowComposeSheetState(std::move(item), LeaderKeySuspension(std::move(leaderKeySwitches))) {}

RowComposeSheetState::RowComposeSheetState(RowSheetItem item, LeaderKeySuspension suspension)
    : item_(std::move(item)), suspension_(std::move(suspension)), complexMode_(initialComplexMode(item_)),
      leaderKeyView_(item_.initialLeaderKey), currentLeaderKeyResult_(item_.initialLeaderKey), currentKeys_(initialKeys(item_)),
      currentKind_(item_.initialConfigurationKind.value_or(ActionConfigurationKind::openApp)), params_(item_.paramsSByKind),
      actionDescription_(item_.actionDescription), endLeaderKeyStatus_(item_.endLeaderKeyStatusAfterActionExecution) {
    if (const auto* old = item_.changeKind.oldRow()) scope_ = ApplicationScopeEditor(old->applicationScope);
}

void RowComposeSheetState::leaderKeyHotKeyChanged(const std::optional<HotKey>& hotKey) {
    currentLeaderKeyResult_ = leaderKeyView_.hotKeyChanged(hotKey);
}

void RowComposeSheetState::leaderKeyHeldChanged(bool held) {
    currentLeaderKeyResult_ = leaderKeyView_.kindChanged(held ? LeaderKey::Kind::hold : LeaderKey::Kind::press);
}

void RowComposeSheetState::appendKey(std::int64_t keyCode) {
    currentKeys_.push_back(keyCode);
    currentKeysDidChange();
}

void RowComposeSheetState::deleteKey(std::size_t position) {
    if (position >= currentKeys_.size()) return;
    currentKeys_.erase(currentKeys_.begin() + static_cast<std::ptrdiff_t>(position));
    currentKeysDidChange();
}

void RowComposeSheetState::deleteAllKeys() {
    currentKeys_.clear();
    currentKeysDidChange();
}

void RowComposeSheetState::currentKeysDidChange() {
    currentKeysChanged_ = true;
    const auto built = buildRow();
    if (const auto* error = std::get_if<ValidationError>(&built)) validationText_ = error->message();
    else validationText_.reset();
}

std::optional<std::size_t> RowComposeSheetState::replacedIndex() {
    const auto& rows = storedRows_.rows();
    return rows ? replacedRowIndex(*rows, item_.changeKind) : std::nullopt;
}

std::optional<std::string> RowComposeSheetState::keyBindingConflictText() {
    if (!showsKeyValidation()) return std::nullopt;
    const auto* leaderKey = leaderKeyOf(currentLeaderKeyResult_);
    if (!leaderKey) return std::nullopt;
    const auto& rows = storedRows_.rows();
    if (!rows) return std::nullopt;
    const auto conflict = keyBindingConflict(*rows, currentKeys_, applicationScope(), *leaderKey, replacedIndex());
    if (!conflict) return std::nullopt;
    return conflictMessage(*conflict);
}

std::string RowComposeSheetState::triggerKeysTitle() const {
    if (complexMode_) return flateditor::triggerKeysTitle(std::nullopt);
    if (const auto* leaderKey = leaderKeyOf(currentLeaderKeyResult_)) return flateditor::triggerKeysTitle(shownText(*leaderKey));
    diag::printLine(
        diag::Category::editor,
        ValidationError(ValidationError::invalidLeaderKeySetting{*settingErrorOf(currentLeaderKeyResult_)}).message());
    return flateditor::triggerKeysTitle(std::nullopt);
}

const ActionParams* RowComposeSheetState::params(ActionConfigurationKind kind) const {
    const auto found = params_.find(kind);
    return found == params_.end() ? nullptr : &found->second;
}

bool RowComposeSheetState::isReadOnly() const {
    const auto* edit = item_.changeKind.editChange();
    return edit && configurability(edit->oldRow.action).isReadOnly();
}

std::string RowComposeSheetState::readOnlyActionDescription() const {
    const auto* old = item_.changeKind.oldRow();
    return old ? old->action.kind.shownText() : std::string();
}

std::optional<std::string> RowComposeSheetState::visibleValidationText() const {
    return saveButtonTapped_ ? validationText_ : std::nullopt;
}

std::variant<FlatKeysAndActionRow, ValidationError> RowComposeSheetState::buildRow() {
    const auto* leaderKey = leaderKeyOf(currentLeaderKeyResult_);
    if (!leaderKey) return ValidationError(ValidationError::invalidLeaderKeySetting{*settingErrorOf(currentLeaderKeyResult_)});
    auto scope = applicationScope();
    if (const auto& rows = storedRows_.rows()) {
        if (auto conflict = keyBindingConflict(*rows, currentKeys_, scope, *leaderKey, replacedIndex()))
            return ValidationError(ValidationError::keyBindingConflict{std::move(*conflict)});
    }
    std::optional<std::string> description;
    if (!actionDescription_.empty()) description = actionDescription_;
    auto kind = makeActionKind(currentKind_, params_, rowEditorRules);
    if (auto* error = std::get_if<ActionFieldError>(&kind)) return ValidationError(*error);
    const bool endStatus = currentKind_ == ActionConfigurationKind::switchInputMethod || endLeaderKeyStatus_;
    return FlatKeysAndActionRow(Uuid::random(), true, std::move(scope), currentKeys_,
                                Action(std::get<Action::Kind>(std::move(kind)), std::move(description)), endStatus, *leaderKey);
}

RowSaveResult RowComposeSheetState::save() {
    saveButtonTapped_ = true;
    auto built = buildRow();
    if (auto* error = std::get_if<ValidationError>(&built)) {
        validationText_ = error->message();
        return {false, field(*error), std::nullopt};
    }
    auto& row = std::get<FlatKeysAndActionRow>(built);
    // The choices the next sheet starts from go into the row's own write.
    std::map<std::string, DefaultsValue> remembered{{settings::keys::previousCheckedComplexMode, DefaultsValue(complexMode_)}};
    if (const auto* press = row.leaderKey.pressInfo()) {
        if (const auto* single = press->hotKey.singleModifierInfo())
            remembered.emplace(settings::keys::previousSetLeaderKeySingleModier,
                               DefaultsValue(std::string(rawValue(single->singleTapModifier))));
    }
    const auto committed = item_.newRowHandler ? item_.newRowHandler(row, std::move(remembered)) : RowCommitResult{};
    if (!committed.closesSheet()) {
        validationText_ = committed.message;
        return {false, std::nullopt, std::nullopt};
    }
    suspension_.sheetClosed();
    return {true, std::nullopt, std::move(row)};
}

void RowComposeSheetState::cancel() { suspension_.sheetClosed(true); }

void RowComposeSheetState::closed() { suspension_.sheetClosed(); }

} // namespace tavlin::flateditor
