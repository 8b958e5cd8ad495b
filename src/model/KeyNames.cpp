#include "model/KeyNames.h"

#include <limits>

#include "platform/base/Diagnostics.h"
#include "platform/base/StableSort.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/text/PeopleWords.h"
#include "platform/text/Unicode.h"

namespace tavlin {
namespace {

const std::map<int, std::string>& fixedKeyNames() {
    // One line group each for letters, digits, punctuation and the other keys: kept by hand.
    // clang-format off
    static const std::map<int, std::string> names{
        {0, "A"}, {11, "B"}, {8, "C"}, {2, "D"}, {14, "E"}, {3, "F"}, {5, "G"}, {4, "H"}, {34, "I"},
        {38, "J"}, {40, "K"}, {37, "L"}, {46, "M"}, {45, "N"}, {31, "O"}, {35, "P"}, {12, "Q"}, {15, "R"},
        {1, "S"}, {17, "T"}, {32, "U"}, {9, "V"}, {13, "W"}, {7, "X"}, {16, "Y"}, {6, "Z"},
        {29, "0"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {23, "5"}, {22, "6"}, {26, "7"}, {28, "8"},
        {25, "9"}, {50, "`"}, {24, "="}, {27, "-"}, {30, "]"}, {33, "["}, {39, "'"}, {41, ";"}, {42, "\\"},
        {43, ","}, {44, "/"}, {47, "."},
        {36, "Return (Enter)"}, {48, "Tab"}, {51, "Delete"}, {53, "Escape"}, {64, "F17"}, {65, "Keypad ."},
        {69, "Keypad +"}, {71, "Keypad Clear"}, {72, "Volume Up"}, {73, "Volume Down"}, {74, "Mute"},
        {75, "Keypad /"}, {76, "Keypad Enter"}, {78, "Keypad -"}, {79, "F18"}, {80, "F19"}, {81, "Keypad ="},
        {82, "Keypad 0"}, {83, "Keypad 1"}, {84, "Keypad 2"}, {85, "Keypad 3"}, {86, "Keypad 4"},
        {87, "Keypad 5"}, {88, "Keypad 6"}, {89, "Keypad 7"}, {90, "F20"}, {91, "Keypad 8"}, {92, "Keypad 9"},
        {96, "F5"}, {97, "F6"}, {98, "F7"}, {99, "F3"}, {100, "F8"}, {101, "F9"}, {103, "F11"}, {105, "F13"},
        {106, "F16"}, {107, "F14"}, {109, "F10"}, {111, "F12"}, {113, "F15"}, {114, "Help"}, {115, "Home"},
        {116, "Page Up"}, {117, "Forward Delete"}, {118, "F4"}, {119, "End"}, {120, "F2"}, {121, "Page Down"},
        {122, "F1"}, {123, "Left Arrow"}, {124, "Right Arrow"}, {125, "Down Arrow"}, {126, "Up Arrow"},
    };
    // clang-format on
    return names;
}

} // namespace

const std::vector<int>& availableMainKeyCodesForStandardLayout() {
    // clang-format off
    static const std::vector<int> codes{
        // letters
        0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6,
        // digits
        29, 18, 19, 20, 21, 23, 22, 26, 28, 25,
        // punctuation
        50, 24, 27, 30, 33, 39, 41, 42, 43, 44, 47,
        // keypad
        65, 69, 71, 75, 76, 78, 81, 82, 83, 84, 85, 86, 87, 88, 89, 91, 92,
        // others: Return, Tab, Delete, F1 to F20, volume, navigation, arrows
        36, 48, 51, 122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 106, 64, 79, 80, 90,
        72, 73, 74, 114, 115, 116, 121, 117, 119, 123, 124, 125, 126,
    };
    // clang-format on
    return codes;
}

KeyNameTable::KeyNameTable(const KeyboardLayout* layout) : names_(fixedKeyNames()) {
    if (!layout) return;
    const auto& codes = availableMainKeyCodesForStandardLayout();
    for (std::size_t i = 0; i < characterKeyCount; ++i) {
        const int code = codes[i];
        auto text = layout->displayText(code);
        if (!text) {
            diag::printLine("failed to get the name of " + std::to_string(code) + ", osStatus: -1");
            continue;
        }
        if (unicode::isSingleLetter(*text)) *text = unicode::uppercased(*text);
        names_[code] = std::move(*text);
    }
}

const KeyNameTable& KeyNameTable::shared() {
    static const KeyNameTable table(currentKeyboardLayout().get());
    return table;
}

std::optional<std::string> KeyNameTable::nameIfKnown(int keyCode) const {
    const auto found = names_.find(keyCode);
    if (found == names_.end()) return std::nullopt;
    return found->second;
}

bool KeyNameTable::keyCodeOrder(int a, int b) const {
    const auto nameA = nameIfKnown(a);
    const auto nameB = nameIfKnown(b);
    if (!nameA || !nameB) {
        diag::printLine("failed to find keyCodeString for " + std::to_string(a) + " or " + std::to_string(b));
        return false;
    }
    const bool letterA = unicode::isSingleLetter(*nameA);
    const bool letterB = unicode::isSingleLetter(*nameB);
    if (letterA && letterB) return *nameA != *nameB && unicode::canonicalLess(*nameA, *nameB);
    if (letterA) return true;
    if (letterB) return false;
    const auto& codes = availableMainKeyCodesForStandardLayout();
    const auto indexA = indexOfKeyCode(a, codes);
    const auto indexB = indexOfKeyCode(b, codes);
    if (!indexA || !indexB) {
        diag::printLine("unexpected found nil index while accessing index of " + std::to_string(a) + " or " + std::to_string(b) +
                        " in availableMainKeyCodesForStandardLayout");
        return false;
    }
    return *indexA < *indexB;
}

const KeyNameTable::Sorted& KeyNameTable::sorted() const {
    if (const Sorted* ready = sortedReady_.load(std::memory_order_acquire)) return *ready;
    std::call_once(sortedOnce_, [this] {
        Sorted sorted;
        sorted.codes = stableMergeSorted(availableMainKeyCodesForStandardLayout(),
                                         [this](int a, int b) { return keyCodeOrder(a, b); });
        for (std::size_t i = 0; i < sorted.codes.size(); ++i) {
            const int code = sorted.codes[i];
            if (code < 0) continue;
            const auto at = static_cast<std::size_t>(code);
            if (at >= sorted.indexByCode.size()) sorted.indexByCode.resize(at + 1, -1);
            if (sorted.indexByCode[at] < 0) sorted.indexByCode[at] = static_cast<int>(i);
        }
        sorted_ = std::move(sorted);
        sortedReady_.store(&*sorted_, std::memory_order_release);
    });
    return *sorted_;
}

const std::vector<int>& KeyNameTable::sortedAvailableKeyCodes() const { return sorted().codes; }

std::optional<std::size_t> KeyNameTable::sortedIndex(int keyCode) const {
    const auto& indexByCode = sorted().indexByCode;
    if (keyCode < 0 || static_cast<std::size_t>(keyCode) >= indexByCode.size()) return std::nullopt;
    const int index = indexByCode[static_cast<std::size_t>(keyCode)];
    if (index < 0) return std::nullopt;
    return static_cast<std::size_t>(index);
}

std::string keyName(std::int64_t keyCode) {
    if (auto name = keyNameIfKnown(keyCode)) return *name;
    if (keyCode == 49) return "Space";
    return "Unknow(" + std::to_string(keyCode) + ")";
}

std::vector<std::string> keyNames(const std::vector<std::int64_t>& keyCodes) {
    std::vector<std::string> names;
    names.reserve(keyCodes.size());
    for (const std::int64_t code : keyCodes) names.push_back(keyName(code));
    return names;
}

std::optional<std::string> keyNameIfKnown(std::int64_t keyCode) {
    // Stored codes are 64-bit; no key has a code beyond the table's.
    if (keyCode < std::numeric_limits<int>::min() || keyCode > std::numeric_limits<int>::max()) return std::nullopt;
    return KeyNameTable::shared().nameIfKnown(static_cast<int>(keyCode));
}

std::string shownKeyName(std::int64_t keyCode) {
    if (keyCode >= std::numeric_limits<int>::min() && keyCode <= std::numeric_limits<int>::max()) {
        if (const auto name = words::pcKeyName(static_cast<int>(keyCode))) return std::string(*name);
    }
    return keyName(keyCode);
}

std::vector<std::string> shownKeyNames(const std::vector<std::int64_t>& keyCodes) {
    std::vector<std::string> names;
    names.reserve(keyCodes.size());
    for (const std::int64_t code : keyCodes) names.push_back(shownKeyName(code));
    return names;
}

bool keyCodeOrder(int a, int b) { return KeyNameTable::shared().keyCodeOrder(a, b); }

const std::vector<int>& sortedAvailableKeyCodes() { return KeyNameTable::shared().sortedAvailableKeyCodes(); }

std::optional<std::size_t> sortedKeyCodeIndex(std::int64_t keyCode) {
    if (keyCode < 0 || keyCode > std::numeric_limits<int>::max()) return std::nullopt;
    return KeyNameTable::shared().sortedIndex(static_cast<int>(keyCode));
}

std::optional<std::size_t> indexOfKeyCode(int keyCode, const std::vector<int>& keyCodes) {
    for (std::size_t i = 0; i < keyCodes.size(); ++i) {
        if (keyCodes[i] == keyCode) return i;
    }
    return std::nullopt;
}

std::string modifierSymbols(std::uint32_t carbonModifiers) {
    std::string symbols;
    if (carbonModifiers & carbon::control) symbols += "⌃";
    if (carbonModifiers & carbon::option) symbols += "⌥";
    if (carbonModifiers & carbon::shift) symbols += "⇧";
    if (carbonModifiers & carbon::command) symbols += "⌘";
    return symbols;
}

} // namespace tavlin
