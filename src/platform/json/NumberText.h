#pragma once

#include <string>

namespace tavlin {

// The shortest decimal text that reads back as the same double. Whole numbers keep one decimal
// place ("2.0"); very small and very large magnitudes use an exponent ("1e-05", "1e+17").
std::string doubleDescription(double value);

} // namespace tavlin
