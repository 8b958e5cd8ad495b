#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "model/Action.h"

namespace tavlin {

// The kinds the editors may create or change, in the order the compose sheets list them.
enum class ActionConfigurationKind {
    notification,
    openURL,
    openApp,
    openFinder,
    openFile,
    openFolder,
    runAppleScript,
    toggleConfigurationWindow,
    menuCommand,
    switchWindow,
    executeFile,
    sleep,
    simulateKeystroke,
    switchInputMethod,
    continueFromInterruption,
    stopKeySequenceAfterDelay,
    getFrontmostApp,
    getLeaderKey,
};

const std::vector<ActionConfigurationKind>& allActionConfigurationKinds();
std::string_view rawValue(ActionConfigurationKind kind);
std::optional<ActionConfigurationKind> actionConfigurationKindFromRawValue(std::string_view text);
std::string_view title(ActionConfigurationKind kind);

// The kinds only the helper application carries out.
const std::vector<ActionConfigurationKind>& helperKinds();

// Whether an existing action can be edited now, and as which kind.
struct ActionConfigurability {
    std::optional<ActionConfigurationKind> configurationKind; // nothing: read-only
    bool isReadOnly() const { return !configurationKind; }
    friend bool operator==(const ActionConfigurability&, const ActionConfigurability&) = default;
};

ActionConfigurability configurability(const Action& action);
// The kinds a compose sheet offers now: without the helper's kinds while it is not running,
// without the experimental kinds unless the preference shows them.
std::vector<ActionConfigurationKind> offeredKinds();
bool contains(const std::vector<ActionConfigurationKind>& kinds, ActionConfigurationKind kind);

} // namespace tavlin
