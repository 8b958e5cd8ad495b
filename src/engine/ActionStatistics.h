#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/Action.h"
#include "platform/UserDefaults.h"

namespace tavlin {

// How often each action ended a key sequence, keyed by the action's JSON text (its content, not
// its place in the tree), in a defaults suite of its own.
namespace ActionStatistics {

std::shared_ptr<UserDefaults> defaults();
std::optional<std::string> key(const Action& action);
std::int64_t count(const Action& action);
// Adds one, saturating instead of overflowing. Answers false when the action has no key.
bool increment(const Action& action);

} // namespace ActionStatistics
} // namespace tavlin
