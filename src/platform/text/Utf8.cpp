#include "platform/text/Utf8.h"

#include <cstdint>
#include <cstring>

namespace tavlin::utf8 {
namespace {

// The length of the run of ASCII bytes at `at`, eight bytes at a time: nearly all text is ASCII.
std::size_t asciiRun(std::string_view text, std::size_t at) {
    const std::size_t start = at;
    while (at + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        if (word & 0x8080808080808080ULL) break;
        at += 8;
    }
    while (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80) ++at;
    return at - start;
}

} // namespace

int sequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return -1;
    }
    int valid = 1;
    for (int i = 1; i < length; ++i) {
        if (at + static_cast<std::size_t>(i) >= text.size()) return -valid;
        const unsigned char c = byte(at + static_cast<std::size_t>(i));
        const unsigned char lo = i == 1 ? low : 0x80;
        const unsigned char hi = i == 1 ? high : 0xBF;
        if (c < lo || c > hi) return -valid;
        ++valid;
    }
    return length;
}

int wellFormedSequenceLength(std::string_view text, std::size_t at) {
    const int length = sequenceLength(text, at);
    return length > 0 ? length : 0;
}

bool isValid(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        at += asciiRun(text, at);
        if (at == text.size()) break;
        const int length = sequenceLength(text, at);
        if (length < 0) return false;
        at += static_cast<std::size_t>(length);
    }
    return true;
}

std::string makeValid(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t run = asciiRun(text, at);
        out.append(text.substr(at, run));
        at += run;
        if (at == text.size()) break;
        const int length = sequenceLength(text, at);
        if (length < 0) {
            out += "\xEF\xBF\xBD";
            at += static_cast<std::size_t>(-length);
        } else {
            out.append(text.substr(at, static_cast<std::size_t>(length)));
            at += static_cast<std::size_t>(length);
        }
    }
    return out;
}

} // namespace tavlin::utf8
