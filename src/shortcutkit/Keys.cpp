#include "shortcutkit/Keys.h"

#include "platform/keys/KeyboardEvents.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/text/PeopleWords.h"
#include "platform/text/Unicode.h"

namespace tavlin::shortcutkit {
namespace {

// UTF-8 of a code point of the basic multilingual plane.
std::string utf8(char16_t unit) { return unicode::fromUtf16(std::u16string(1, unit)); }

constexpr Key functionKeys[] = {keys::f1,  keys::f2,  keys::f3,  keys::f4,  keys::f5,  keys::f6,  keys::f7,
                                keys::f8,  keys::f9,  keys::f10, keys::f11, keys::f12, keys::f13, keys::f14,
                                keys::f15, keys::f16, keys::f17, keys::f18, keys::f19, keys::f20};

const std::string replacementCharacter = "\xEF\xBF\xBD";

} // namespace

std::int64_t carbonModifiers(std::uint64_t flags) {
    std::int64_t mask = 0;
    if (flags & eventFlags::control) mask |= carbon::control;
    if (flags & eventFlags::option) mask |= carbon::option;
    if (flags & eventFlags::shift) mask |= carbon::shift;
    if (flags & eventFlags::command) mask |= carbon::command;
    return mask;
}

std::uint64_t modifierFlags(std::int64_t mask) {
    std::uint64_t flags = 0;
    if (mask & carbon::control) flags |= eventFlags::control;
    if (mask & carbon::option) flags |= eventFlags::option;
    if (mask & carbon::shift) flags |= eventFlags::shift;
    if (mask & carbon::command) flags |= eventFlags::command;
    return flags;
}

std::string modifierFlagsDescription(std::uint64_t flags) {
    std::string text;
    if (flags & eventFlags::control) text += "\u2303";
    if (flags & eventFlags::option) text += "\u2325";
    if (flags & eventFlags::shift) text += "\u21E7";
    if (flags & eventFlags::command) text += "\u2318";
    // The globe in text presentation, so that it lines up with the other symbols.
    if (flags & eventFlags::function) text += "\U0001F310\uFE0E";
    return text;
}

const std::map<std::int64_t, std::string>& specialKeyTexts() {
    static const auto texts = [] {
        std::map<std::int64_t, std::string> map{
            {keys::returnKey.rawValue, "\u21A9"},  {keys::deleteKey.rawValue, "\u232B"}, {keys::deleteForward.rawValue, "\u2326"},
            {keys::end.rawValue, "\u2198"},        {keys::escape.rawValue, "\u238B"},    {keys::help.rawValue, "?\u20DD"},
            {keys::home.rawValue, "\u2196"},       {keys::space.rawValue, "\u23B5"},     {keys::tab.rawValue, "\u21E5"},
            {keys::pageUp.rawValue, "\u21DE"},     {keys::pageDown.rawValue, "\u21DF"},  {keys::upArrow.rawValue, "\u2191"},
            {keys::rightArrow.rawValue, "\u2192"}, {keys::downArrow.rawValue, "\u2193"}, {keys::leftArrow.rawValue, "\u2190"},
        };
        int number = 1;
        for (const auto key : functionKeys) map[key.rawValue] = "F" + std::to_string(number++);
        return map;
    }();
    return texts;
}

const std::map<std::int64_t, std::string>& functionKeyEquivalents() {
    static const auto equivalents = [] {
        std::map<std::int64_t, std::string> map{{keys::space.rawValue, " "}};
        char16_t character = 0xF704; // the private-use characters menus know as F1 to F20
        for (const auto key : functionKeys) map[key.rawValue] = utf8(character++);
        return map;
    }();
    return equivalents;
}

Shortcut::Shortcut(std::int64_t keyCode, std::int64_t modifiers)
    : carbonKeyCode(keyCode), carbonModifiers(shortcutkit::carbonModifiers(modifierFlags(modifiers))) {}

std::uint64_t Shortcut::modifiers() const { return modifierFlags(carbonModifiers); }

std::optional<std::string> Shortcut::keyToCharacter() const {
    const auto& special = specialKeyTexts();
    if (const auto found = special.find(carbonKeyCode); found != special.end()) return found->second;
    // Menus match a shortcut by its letter in a layout that types ASCII, whichever group is active.
    const auto layout = currentAsciiCapableKeyboardLayout();
    if (!layout) return std::nullopt;
    if (carbonKeyCode < 0 || carbonKeyCode > 0xFFFF) return std::nullopt;
    return layout->displayText(static_cast<int>(carbonKeyCode));
}

std::string Shortcut::description() const {
    const auto text = keyToCharacter();
    return words::keyCombination(static_cast<std::uint32_t>(carbonModifiers),
                                 text ? unicode::uppercased(*text) : std::string(replacementCharacter));
}

std::string Shortcut::keyEquivalent() const {
    auto text = keyToCharacter().value_or(std::string());
    if (unicode::characterCount(text) > 1) {
        const auto& equivalents = functionKeyEquivalents();
        const auto found = equivalents.find(carbonKeyCode);
        return found == equivalents.end() ? std::string() : found->second;
    }
    return text;
}

} // namespace tavlin::shortcutkit
