#pragma once

#include <functional>
#include <string_view>

#include "actionediting/core/ActionKinds.h"
#include "model/ActionConfigurability.h"

class QWidget;

namespace tavlin {

// What the row sheet hands the editor of one kind's parameters. The editor keeps no state the
// sheet does not have: every change goes back through `setParams` as a whole new value.
struct ParamsEditorContext {
    ActionConfigurationKind kind = ActionConfigurationKind::openApp;
    ActionParams params; // the sheet's entry for `kind`
    bool complexMode = false;
    bool helperRunning = false;
    ActionEditingRules rules = rowEditorRules;
    std::function<void(const ActionParams& params, ActionConfigurationKind kind)> setParams;
    // Called once per control that a failed save may focus, with the error it is focused for.
    std::function<void(ActionFieldError error, QWidget* widget)> registerFocusTarget;
};

// What the help button beside a menu title opens: how menu commands of applications get
// keyboard shortcuts on the desktop.
inline constexpr std::string_view menuCommandShortcutsHelpURL =
    "https://docs.kde.org/stable5/en/khelpcenter/fundamentals/shortcuts.html";

// Builds the editor of the context's entry as a new parentless widget, which the caller owns;
// nullptr when the kind has no editor.
QWidget* makeParamsEditor(const ParamsEditorContext& context);

} // namespace tavlin
