#include "platform/json/NumberText.h"

#include <charconv>
#include <cmath>

namespace tavlin {

std::string doubleDescription(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    const double magnitude = std::fabs(value);
    const bool exponential = magnitude != 0 && (magnitude < 1e-4 || magnitude > 0x1.0p54);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      exponential ? std::chars_format::scientific : std::chars_format::fixed);
    std::string text(buffer, result.ptr);
    if (!exponential && text.find('.') == std::string::npos) text += ".0";
    return text;
}

} // namespace tavlin
