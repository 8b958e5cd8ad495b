#include "platform/PeopleWords.h"

#include "platform/KeyboardEvents.h"

namespace tavlin::words {

std::string keyCombination(std::uint32_t carbonModifiers, std::string_view key) {
    // The order the desktop's own key-sequence texts use.
    const std::pair<std::uint32_t, std::string_view> names[] = {
        {carbon::command, superKey}, {carbon::control, controlKey}, {carbon::option, altKey}, {carbon::shift, shiftKey}};
    std::string text;
    for (const auto& [mask, name] : names) {
        if (!(carbonModifiers & mask)) continue;
        if (!text.empty()) text += '+';
        text += name;
    }
    if (key.empty()) return text;
    if (!text.empty()) text += '+';
    return text.append(key);
}

std::optional<std::string_view> pcKeyName(int virtualKeyCode) {
    switch (virtualKeyCode) {
    case 36: return "Enter";
    case 51: return "Backspace";
    case 71: return "Num Lock";
    case 114: return "Insert";
    case 117: return "Delete";
    default: return std::nullopt;
    }
}

} // namespace tavlin::words
