#pragma once

#include <vector>

#include "model/Decision.h"

namespace tavlin {

// One step of a key sequence: queue the decision's actions, then wait for the next outcome, or,
// at a leaf, end the session (or start over for a wait-again action).
void runDecision(std::vector<ActionResult> history, DecisionPtr decision);
// What the wait calls with the first outcome: follow the first chance that accepts it.
void continueDecision(const ActionOutcome& outcome, const DecisionPtr& decision, std::vector<ActionResult> history);
ChancePtr firstMatchingChance(const std::vector<ChancePtr>& chances, const ActionOutcome& outcome);
// A key pattern takes its keys, a message pattern a text whose first regex match spans it
// wholly, always-match anything. Message patterns are compiled once and kept (a bounded cache).
bool accepts(const Pattern& pattern, const ActionOutcome& outcome);

} // namespace tavlin
