#pragma once

#include <string_view>

namespace tavlin {

// The note under the execute-file arguments in both windows.
inline constexpr std::string_view executeFileNote =
    "Note: \n\"The strings in arguments do not undergo shell expansion, \nso you do not need to do "
    "special quoting, \nand shell variables, such as $PWD, are not resolved.\"\n--Apple Documentation";

} // namespace tavlin
