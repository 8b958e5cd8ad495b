#pragma once

#include <vector>

#include "model/FlatKeysAndActionRow.h"

namespace tavlin::bench {

// Bindings as a heavy user keeps them: a handful of applications, three leader keys, one to
// three trigger keys each. Deterministic but for the rows' identifiers.
std::vector<FlatKeysAndActionRow> sampleRows(int count);

} // namespace tavlin::bench
