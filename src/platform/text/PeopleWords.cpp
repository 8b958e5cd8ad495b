#include "platform/text/PeopleWords.h"

#include "platform/desktop/NotificationCenter.h"
#include "platform/keys/KeyboardEvents.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::words {
namespace {

ApplicationNameSource& nameSource() {
    static ApplicationNameSource source;
    return source;
}

} // namespace

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

bool pcKeyboardHasKey(int virtualKeyCode) {
    switch (virtualKeyCode) {
    case keycodes::f17:
    case keycodes::f18:
    case keycodes::f19:
    case keycodes::f20: return false;
    default: return true;
    }
}

void setApplicationNameSource(ApplicationNameSource source) { nameSource() = std::move(source); }

std::optional<std::string> applicationName(const std::string& path) {
    if (!nameSource() || path.empty()) return std::nullopt;
    auto name = nameSource()(path);
    if (name && name->empty()) return std::nullopt;
    return name;
}

void applicationNamesChanged() {
    NotificationCenter::local().post(Notification{std::string(applicationNamesDidChange), std::nullopt});
}

} // namespace tavlin::words
