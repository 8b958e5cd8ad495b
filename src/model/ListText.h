#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

// A list kept as one text preference: the list's compact JSON text, "[]" when it cannot be
// encoded. `encode` turns an element into JSON.
template <typename T, typename Encode>
std::string listRawValue(const std::vector<T>& list, Encode encode) {
    try {
        json::Value array = json::Value::array();
        for (const auto& element : list) array.push_back(encode(element));
        return json::encode(array, json::Style::compact);
    } catch (const std::exception&) {
        return "[]";
    }
}

// The list read back from its text, or nothing when the text is not a JSON list of elements
// that `decode` (JsonReader -> T) accepts.
template <typename T, typename Decode>
std::optional<std::vector<T>> listFromRawValue(std::string_view text, Decode decode) {
    try {
        const json::Value value = json::parse(text);
        std::vector<T> list;
        for (const auto& element : JsonReader(value).elements()) list.push_back(decode(element));
        return list;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Lexicographic order of lists: a proper prefix orders first; equal lists are not less.
template <typename T>
bool lexicographicallyLess(const std::vector<T>& a, const std::vector<T>& b) {
    std::size_t i = 0;
    for (; i < a.size() && i < b.size(); ++i) {
        if (a[i] == b[i]) continue;
        return a[i] < b[i];
    }
    return a.size() < b.size();
}

} // namespace tavlin
