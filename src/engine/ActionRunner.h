#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Decision.h"

namespace tavlin {

// Carries out one action of a reached decision, and posts the text it returns (if any) as a
// message outcome at once; what the action leaves besides (storing the suggested application)
// follows in a later turn.
void run(const Action& action, const DecisionPtr& remaining, const std::vector<ActionResult>& history);
// Carries the action out; the text of getFrontmostApp and getLeaderKey, nothing otherwise.
// Never throws: failures end in alerts, user notifications or diagnostic lines.
std::optional<std::string> perform(const Action& action, const DecisionPtr& remaining, const std::vector<ActionResult>& history);
// Whether `perform` returns a text for this action.
bool reportsText(const Action& action);

void performSimulatedKeystroke(std::int64_t keyCode, bool command, bool shift, bool option, bool control);
void resumeSequence(std::vector<ActionResult> history, DecisionPtr decision, std::optional<double> sessionTimestamp);
void stopSequenceIfIdle(bool comparingLastActivity, std::optional<double> snapshot);

// Posts a banner with a title (and a subtitle when given) after asking for permission.
void postUserNotification(const std::string& title, const std::optional<std::string>& subtitle = std::nullopt);

} // namespace tavlin
