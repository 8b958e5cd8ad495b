#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/keys/KeyboardEvents.h"

namespace tavlin {

class KeyboardLayout;

// The 100 main keys a pattern or binding can use, in their standard order (letters, digits,
// punctuation, keypad, then the others). Space and Escape are not among them.
const std::vector<int>& availableMainKeyCodesForStandardLayout();
// The first 47 of them: letters, digits and punctuation, whose names come from the layout.
inline constexpr std::size_t characterKeyCount = 47;

// The names of keys in one keyboard layout: the fixed names, with the character keys replaced
// by what the layout types for them.
class KeyNameTable {
public:
    // Without a layout the table holds the fixed names only.
    explicit KeyNameTable(const KeyboardLayout* layout);

    // Built once from the layout that is current on first use, and kept: a later layout change
    // takes effect at the next launch.
    static const KeyNameTable& shared();

    std::optional<std::string> nameIfKnown(int keyCode) const;
    // Whether a orders before b: single-letter names first, alphabetically, then every other
    // key in the standard order.
    bool keyCodeOrder(int a, int b) const;
    // The available main keys sorted by keyCodeOrder.
    const std::vector<int>& sortedAvailableKeyCodes() const;
    // The key's index in sortedAvailableKeyCodes(), in constant time: patterns are sorted by it.
    std::optional<std::size_t> sortedIndex(int keyCode) const;

private:
    struct Sorted {
        std::vector<int> codes;
        std::vector<int> indexByCode; // -1 for a code that is not among them
    };
    const Sorted& sorted() const;

    std::map<int, std::string> names_;
    mutable std::once_flag sortedOnce_;
    mutable std::optional<Sorted> sorted_;
    // Set once sorted_ is built: sorting patterns asks for it on every comparison.
    mutable std::atomic<const Sorted*> sortedReady_ = nullptr;
};

// The name of a key in the shared table; "Space" for 49 and "Unknow(<code>)" for other codes
// without a name.
std::string keyName(std::int64_t keyCode);
std::vector<std::string> keyNames(const std::vector<std::int64_t>& keyCodes);
std::optional<std::string> keyNameIfKnown(std::int64_t keyCode);
// The name a person reads: the PC keyboard's where it differs ("Backspace", "Delete", "Insert",
// "Num Lock", "Enter"), else keyName. Stored, matched and printed texts keep keyName.
std::string shownKeyName(std::int64_t keyCode);
std::vector<std::string> shownKeyNames(const std::vector<std::int64_t>& keyCodes);
bool keyCodeOrder(int a, int b);
const std::vector<int>& sortedAvailableKeyCodes();
// The key's index in sortedAvailableKeyCodes(); nothing for a key that is not among them.
std::optional<std::size_t> sortedKeyCodeIndex(std::int64_t keyCode);
std::optional<std::size_t> indexOfKeyCode(int keyCode, const std::vector<int>& keyCodes);

// "⌃⌥⇧⌘" for the modifiers present in a Carbon mask, in that order, without separators.
std::string modifierSymbols(std::uint32_t carbonModifiers);

} // namespace tavlin
