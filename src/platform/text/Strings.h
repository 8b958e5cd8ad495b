#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavlin {

// Every occurrence of `from` replaced, left to right, without rescanning replaced text.
inline std::string replacingOccurrences(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) return text;
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

inline std::string joined(const std::vector<std::string>& items, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += separator;
        text += items[i];
    }
    return text;
}

} // namespace tavlin
