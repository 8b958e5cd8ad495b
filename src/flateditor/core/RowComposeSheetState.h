#pragma once

// The row compose sheet's state and behaviour, free of any toolkit. The dialog mirrors it:
//
// - Build: `RowSheetItem item(changeKind, rowSaved)` when the list asks, then
//   `RowComposeSheetState state(std::move(item))`. Show the read-only block when
//   `state.isReadOnly()` (text: `readOnlyActionDescription()`), the editable block otherwise.
// - Leader key: the embedded control starts from `leaderKeyView().optionForPress()`; pass its
//   changes to `leaderKeyHotKeyChanged()` and its recorder focus to `recorderFocusChanged()`.
// - Trigger keys: the picker's items are `triggerKeyPickerItems(currentKeys().empty())`; a chosen
//   item goes to `appendKey()`, a key button to `deleteKey()`, "Delete All Keys" to
//   `deleteAllKeys()`. Each of them validates; redraw the keys, the conflict text
//   (`keyBindingConflictText()`) and the red line (`visibleValidationText()`) afterwards.
// - Scope, kind, parameters, description, end flag, Complex Mode: the setters below, one per
//   control. They validate nothing; the red line keeps its text until the next key change or save.
// - Save (Ctrl+S): `save()`. `closes` true: close the dialog. Otherwise keep it open, show
//   `visibleValidationText()` and focus `focus` when present.
// - Cancel of the editable sheet: `cancel()`, then close. Any other close (the read-only Cancel,
//   the close box of the read-only sheet): `closed()`. Both reload the leader keys when they are
//   still off; call one of them before the dialog's widgets go away.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "flateditor/core/ApplicationScopeEditor.h"
#include "flateditor/core/LeaderKeySuspension.h"
#include "flateditor/core/RowLeaderKey.h"
#include "flateditor/core/RowSheetItem.h"
#include "flateditor/core/RowValidation.h"
#include "flateditor/core/StoredFlatRows.h"
#include "flateditor/core/TriggerKeyPicker.h"

namespace tavlin::flateditor {

// What the dialog does after Save.
struct RowSaveResult {
    bool closes = false;
    std::optional<RowSheetField> focus;      // after a failed validation, when the error names a control
    std::optional<FlatKeysAndActionRow> row; // the row stored
};

class RowComposeSheetState {
public:
    explicit RowComposeSheetState(RowSheetItem item);
    RowComposeSheetState(RowSheetItem item, LeaderKeySuspension::Switches leaderKeySwitches);

    const RowSheetItem& sheetItem() const { return item_; }

    bool complexMode() const { return complexMode_; }
    void setComplexMode(bool on) { complexMode_ = on; }

    // Scope.
    ApplicationScopeEditor& scopeEditor() { return scope_; }
    const ApplicationScopeEditor& scopeEditor() const { return scope_; }
    ApplicationScopeKind currentApplicationScopeKind() const { return scope_.kind(); }
    std::vector<std::string> applicationPaths() const { return scope_.paths(); }
    FlatKeysAndActionRow::ApplicationScope applicationScope() const { return scope_.scope(); }

    // Leader key.
    const LeaderKeyViewState& leaderKeyView() const { return leaderKeyView_; }
    const LeaderKeyResult& currentLeaderKeyResult() const { return currentLeaderKeyResult_; }
    void leaderKeyHotKeyChanged(const std::optional<HotKey>& hotKey);
    // A row opened with a held leader key: the control gives it up for a pressed key, or takes
    // it back.
    void leaderKeyHeldChanged(bool held);
    void recorderFocusChanged(bool focused) { suspension_.recorderFocusChanged(focused); }

    // Trigger keys.
    const std::vector<std::int64_t>& currentKeys() const { return currentKeys_; }
    bool currentKeysChanged() const { return currentKeysChanged_; }
    void appendKey(std::int64_t keyCode);
    void deleteKey(std::size_t position);
    void deleteAllKeys();
    bool showsKeyValidation() const { return currentKeysChanged_ || saveButtonTapped_; }
    // The message under the keys; nothing while `showsKeyValidation` is false.
    std::optional<std::string> keyBindingConflictText();
    // The trigger-key group's title for the current mode and leader key.
    std::string triggerKeysTitle() const;

    // Action.
    ActionConfigurationKind currentKind() const { return currentKind_; }
    void setCurrentKind(ActionConfigurationKind kind) { currentKind_ = kind; }
    const ActionParamsByKind& paramsSByKind() const { return params_; }
    const ActionParams* params(ActionConfigurationKind kind) const;
    void setParams(const ActionParams& params, ActionConfigurationKind kind) { params_.insert_or_assign(kind, params); }
    const std::string& actionDescription() const { return actionDescription_; }
    void setActionDescription(std::string text) { actionDescription_ = std::move(text); }
    bool endLeaderKeyStatusAfterActionExecution() const { return endLeaderKeyStatus_; }
    void setEndLeaderKeyStatusAfterActionExecution(bool on) { endLeaderKeyStatus_ = on; }

    // An edit of an action the sheet cannot change: only Cancel is offered.
    bool isReadOnly() const;
    std::string readOnlyActionDescription() const;

    // Validation.
    const std::optional<std::string>& validationText() const { return validationText_; }
    // The red line: the validation text once Save was pressed.
    std::optional<std::string> visibleValidationText() const;
    bool saveButtonTapped() const { return saveButtonTapped_; }
    // The row the sheet would store now, or why not. Changes no state.
    std::variant<FlatKeysAndActionRow, ValidationError> buildRow();

    RowSaveResult save();
    // The Cancel of the editable sheet: reloads the leader keys.
    void cancel();
    // Any other close.
    void closed();

private:
    RowComposeSheetState(RowSheetItem item, LeaderKeySuspension suspension);
    void currentKeysDidChange();
    std::optional<std::size_t> replacedIndex();

    RowSheetItem item_;
    StoredFlatRows storedRows_;
    LeaderKeySuspension suspension_;
    bool complexMode_ = false;
    ApplicationScopeEditor scope_;
    LeaderKeyViewState leaderKeyView_;
    LeaderKeyResult currentLeaderKeyResult_;
    std::vector<std::int64_t> currentKeys_;
    bool currentKeysChanged_ = false;
    ActionConfigurationKind currentKind_ = ActionConfigurationKind::openApp;
    ActionParamsByKind params_;
    std::optional<std::string> validationText_;
    std::string actionDescription_;
    bool endLeaderKeyStatus_ = false;
    bool saveButtonTapped_ = false;
};

} // namespace tavlin::flateditor
