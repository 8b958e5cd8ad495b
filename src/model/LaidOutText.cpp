#include "model/LaidOutText.h"

namespace tavlin {

std::string_view laidOutPart(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end; // a continuation byte
    return text.substr(0, end);
}

} // namespace tavlin
