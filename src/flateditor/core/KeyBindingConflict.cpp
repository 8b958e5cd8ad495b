#include "flateditor/core/KeyBindingConflict.h"

#include <algorithm>

#include "model/KeyNames.h"

namespace tavlin::flateditor {

using Kind = KeyBindingConflictKind;

const std::vector<std::int64_t>& KeyBindingConflictKind::conflictKeys() const {
    return std::visit([](const auto& kind) -> const std::vector<std::int64_t>& { return kind.conflictKeys; }, value);
}

bool isConflictCandidate(const FlatKeysAndActionRow& row, const FlatKeysAndActionRow::ApplicationScope& scope,
                         const LeaderKey& leaderKey) {
    // Undetermined (two allBut scopes) counts as overlapping.
    return scope.overlaps(row.applicationScope).value_or(true) && row.leaderKey == leaderKey;
}

std::optional<KeyBindingConflictKind> keyBindingConflict(const std::vector<FlatKeysAndActionRow>& storedRows,
                                                         const std::vector<std::int64_t>& keys,
                                                         const FlatKeysAndActionRow::ApplicationScope& scope,
                                                         const LeaderKey& leaderKey, std::optional<std::size_t> skippedIndex) {
    std::vector<const FlatKeysAndActionRow*> candidates;
    for (std::size_t i = 0; i < storedRows.size(); ++i) {
        if (skippedIndex && *skippedIndex == i) continue;
        if (isConflictCandidate(storedRows[i], scope, leaderKey)) candidates.push_back(&storedRows[i]);
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const FlatKeysAndActionRow* a, const FlatKeysAndActionRow* b) {
        return a->keys.size() < b->keys.size();
    });
    const auto n = keys.size();
    for (const auto* candidate : candidates) {
        const auto& other = candidate->keys;
        const auto m = other.size();
        // Built in place: moving a finished variant trips a false uninitialised-read warning of GCC.
        if (other == keys) return std::optional<Kind>(std::in_place, Kind::equalOther{other});
        if (m < n && std::equal(other.begin(), other.end(), keys.begin()))
            return std::optional<Kind>(std::in_place, Kind::containsOtherStrictly{other});
        if (n < m && std::equal(keys.begin(), keys.end(), other.begin()))
            return std::optional<Kind>(std::in_place, Kind::containedByOtherStrictly{other, n == 0});
    }
    return std::nullopt;
}

std::string conflictMessage(const KeyBindingConflictKind& kind) {
    std::string text = "Conflict with existing key bindings (";
    const auto names = shownKeyNames(kind.conflictKeys());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ", ";
        text += names[i];
    }
    text += ").\n";
    if (const auto* contained = std::get_if<KeyBindingConflictKind::containedByOtherStrictly>(&kind.value))
        return text +
               (contained->onlyLeaderKey ? "Add more keys or set application scope." : "Delete and reselect or add more keys.");
    return text + "Delete and reselect a key to resolve.";
}

} // namespace tavlin::flateditor
