#pragma once

#include <string>

#include "model/Decision.h"

namespace tavlin::bench {

// A configuration-sized tree: 10 top-level key chances, each leading to 999 descendants over
// three more levels, so 10,000 chances in all. Patterns mix unsorted keys, messages and
// always-match; actions cycle through the stored kinds, some with descriptions. Deterministic.
DecisionPtr sampleTree();
inline constexpr int sampleTreeChances = 10000;

// The sample tree as the configuration file stores it (pretty JSON text).
const std::string& sampleTreeText();

int chanceCount(const Decision& decision);

} // namespace tavlin::bench
