#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/Action.h"
#include "platform/files/UserDefaults.h"

namespace tavlin {

// How often each action ended a key sequence, keyed by the action's JSON text (its content, not
// its place in the tree), in a defaults suite of its own.
//
// Counting costs no file access: the counts are added up in memory and written together, at
// most once per `writeDelaySeconds`, long after the counted action's own turn (and at the end of
// the process). Reads include the counts not written yet.
namespace ActionStatistics {

inline constexpr double writeDelaySeconds = 1.0;

std::shared_ptr<UserDefaults> defaults();
std::optional<std::string> key(const Action& action);
std::int64_t count(const Action& action);
// Adds one, saturating instead of overflowing. Answers false when the action has no key.
bool increment(const Action& action);
// Writes the counts not written yet now (at the end of the process).
void writePending();

} // namespace ActionStatistics
} // namespace tavlin
