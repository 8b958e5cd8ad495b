#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

private:
    std::map<int, std::string> names_;
    mutable std::optional<std::vector<int>> sorted_;
};

// The name of a key in the shared table; "Space" for 49 and "Unknow(<code>)" for other codes
// without a name.
std::string keyName(int keyCode);
std::vector<std::string> keyNames(const std::vector<int>& keyCodes);
std::optional<std::string> keyNameIfKnown(int keyCode);
bool keyCodeOrder(int a, int b);
const std::vector<int>& sortedAvailableKeyCodes();
std::optional<std::size_t> indexOfKeyCode(int keyCode, const std::vector<int>& keyCodes);

// Carbon modifier masks.
namespace carbon {
inline constexpr std::uint32_t cmdKey = 0x100;
inline constexpr std::uint32_t shiftKey = 0x200;
inline constexpr std::uint32_t optionKey = 0x800;
inline constexpr std::uint32_t controlKey = 0x1000;
} // namespace carbon

// "⌃⌥⇧⌘" for the modifiers present in a Carbon mask, in that order, without separators.
std::string modifierSymbols(std::uint32_t carbonModifiers);

} // namespace tavlin
