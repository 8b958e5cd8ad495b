#include "flateditor/RowTexts.h"

#include "model/KeyNames.h"
#include "model/LaidOutText.h"

namespace tavlin::flateditor {
namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

} // namespace

// Built as the plain text the bold markers would leave: the key names never pass through a
// markup reader, so a key named "*" or "`" shows as itself.
std::string leaderKeyExplanation(const LeaderKey& leaderKey, const std::vector<std::int64_t>& keys) {
    const std::string names = joined(shownKeyNames(keys), ", ");
    const std::string inSequence = keys.size() >= 2 ? " in sequence" : "";
    if (const auto* hold = leaderKey.holdInfo()) {
        const std::string held = shownKeyName(hold->keyCode);
        // Without trigger keys the sentence would read "press  to trigger".
        std::string text = keys.empty() ? "Hold " + held + " to trigger the action"
                                        : "Hold " + held + " and press " + names + inSequence + " to trigger the action";
        if (hold->keepPressFunction) text += "; press and release it quickly to input " + held;
        else text += "; the key's original function is removed.";
        return text;
    }
    const std::string hotKey = shownText(leaderKey.pressInfo()->hotKey);
    const std::string then = keys.empty() ? "" : " and then press " + names + inSequence;
    return "Press and release " + hotKey + " quickly" + then + " to trigger the action; hold " + hotKey +
           " and press other keys to trigger its original function.";
}

std::string enableToggleTooltip(bool enabled) {
    return std::string("Click to ") + (enabled ? "disable" : "enable") + " this key binding";
}

std::string badgeKeyNames(const std::vector<std::int64_t>& keys) {
    return std::string(laidOutPart(joined(shownKeyNames(keys), " ")));
}

bool leaderKeyShowsSpaceSymbol(const LeaderKey& leaderKey) { return leaderKey.description() == keyName(49); }

double leaderKeyOpacity(const LeaderKey& leaderKey) {
    const auto* hold = leaderKey.holdInfo();
    return hold && !hold->keepPressFunction ? 0.7 : 1.0;
}

ActionText actionText(const Action& action) {
    if (action.actionDescription) return {*action.actionDescription, true};
    return {std::string(laidOutPart(action.kind.shownText())), false};
}

std::string rowKeysText(const FlatKeysAndActionRow& row) {
    std::string keys = shownText(row.leaderKey);
    if (!row.keys.empty()) keys += " " + badgeKeyNames(row.keys);
    return keys;
}

} // namespace tavlin::flateditor
