#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/FlatKeysAndActionRow.h"

// The texts of one key-binding row, apart from the toolkit that draws them.
namespace tavlin::flateditor {

// The sentence that tells how to press the leader key and the trigger keys.
std::string leaderKeyExplanation(const LeaderKey& leaderKey, const std::vector<std::int64_t>& keys);
// The enable toggle's tooltip.
std::string enableToggleTooltip(bool enabled);
// The trigger-key names as the badge shows them: joined by single spaces, no more than is laid out.
std::string badgeKeyNames(const std::vector<std::int64_t>& keys);
// The leader key shows as the "square" symbol when its text is the Space key's name.
bool leaderKeyShowsSpaceSymbol(const LeaderKey& leaderKey);
// A held key that loses its own function is drawn fainter.
double leaderKeyOpacity(const LeaderKey& leaderKey);

// The action's text: the user's description, rendered as rich text (which lays out only its
// start), or else as much of the action's own one-line text as is laid out, as plain text.
struct ActionText {
    std::string text;
    bool rich = false;
};
ActionText actionText(const Action& action);

// The row's keys as one text: the leader key, then the trigger-key names.
std::string rowKeysText(const FlatKeysAndActionRow& row);

} // namespace tavlin::flateditor
