#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "model/FlatKeysAndActionRow.h"

namespace tavlin::flateditor {

// How the composed keys relate to a stored row's keys (`conflictKeys`) under the same leader key
// in a scope that can meet.
struct KeyBindingConflictKind {
    struct containsOtherStrictly {
        std::vector<std::int64_t> conflictKeys;
        friend bool operator==(const containsOtherStrictly&, const containsOtherStrictly&) = default;
    };
    struct equalOther {
        std::vector<std::int64_t> conflictKeys;
        friend bool operator==(const equalOther&, const equalOther&) = default;
    };
    struct containedByOtherStrictly {
        std::vector<std::int64_t> conflictKeys;
        bool onlyLeaderKey = false; // the composed keys are empty
        friend bool operator==(const containedByOtherStrictly&, const containedByOtherStrictly&) = default;
    };
    std::variant<containsOtherStrictly, equalOther, containedByOtherStrictly> value;

    KeyBindingConflictKind() = default;
    // Constructors, not an aggregate: std::optional builds one in place only through a constructor
    // on every compiler.
    KeyBindingConflictKind(containsOtherStrictly kind) : value(std::move(kind)) {}
    KeyBindingConflictKind(equalOther kind) : value(std::move(kind)) {}
    KeyBindingConflictKind(containedByOtherStrictly kind) : value(std::move(kind)) {}

    const std::vector<std::int64_t>& conflictKeys() const;
    friend bool operator==(const KeyBindingConflictKind&, const KeyBindingConflictKind&) = default;
};

// Whether a stored row is compared at all: same leader key, overlapping scope (two allBut scopes
// count as overlapping), enabled or not.
bool isConflictCandidate(const FlatKeysAndActionRow& row, const FlatKeysAndActionRow::ApplicationScope& scope,
                         const LeaderKey& leaderKey);

// The first relation among the stored rows, shortest keys first (stored order among equals). The
// row at `skippedIndex` (the one the save replaces) is not compared.
std::optional<KeyBindingConflictKind> keyBindingConflict(const std::vector<FlatKeysAndActionRow>& storedRows,
                                                         const std::vector<std::int64_t>& keys,
                                                         const FlatKeysAndActionRow::ApplicationScope& scope,
                                                         const LeaderKey& leaderKey, std::optional<std::size_t> skippedIndex);

// "Conflict with existing key bindings (A, B).\n<how to resolve>"
std::string conflictMessage(const KeyBindingConflictKind& kind);

} // namespace tavlin::flateditor
