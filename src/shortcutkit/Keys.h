#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/keys/KeyboardEvents.h"

// Keys and modifiers of recordable shortcuts as a user reads them. Key codes are the stored
// format's virtual key codes, modifier masks the stored format's hot-key masks (command 0x100,
// shift 0x200, option 0x800, control 0x1000) or event flags.
namespace tavlin::shortcutkit {

// A named virtual key code. Any raw value makes a key.
struct Key {
    std::int64_t rawValue = 0;
    friend bool operator==(const Key&, const Key&) = default;
};

namespace keys {
// Letters.
inline constexpr Key a{0}, b{11}, c{8}, d{2}, e{14}, f{3}, g{5}, h{4}, i{34}, j{38}, k{40}, l{37}, m{46}, n{45}, o{31}, p{35},
    q{12}, r{15}, s{1}, t{17}, u{32}, v{9}, w{13}, x{7}, y{16}, z{6};
// Digits.
inline constexpr Key zero{29}, one{18}, two{19}, three{20}, four{21}, five{23}, six{22}, seven{26}, eight{28}, nine{25};
// Modifiers.
inline constexpr Key capsLock{57}, shift{56}, function{63}, control{59}, option{58}, command{55}, rightCommand{54},
    rightOption{61}, rightControl{62}, rightShift{60};
// Other keys.
inline constexpr Key returnKey{36}, backslash{42}, backtick{50}, comma{43}, equal{24}, minus{27}, period{47}, quote{39},
    semicolon{41}, slash{44}, space{49}, tab{48}, leftBracket{33}, rightBracket{30};
// Navigation and editing.
inline constexpr Key pageUp{116}, pageDown{121}, home{115}, end{119}, upArrow{126}, rightArrow{124}, downArrow{125},
    leftArrow{123}, escape{53}, deleteKey{51}, deleteForward{117}, help{114}, mute{74}, volumeUp{72}, volumeDown{73};
// Function keys.
inline constexpr Key f1{122}, f2{120}, f3{99}, f4{118}, f5{96}, f6{97}, f7{98}, f8{100}, f9{101}, f10{109}, f11{103}, f12{111},
    f13{105}, f14{107}, f15{113}, f16{106}, f17{64}, f18{79}, f19{80}, f20{90};
// Keypad.
inline constexpr Key keypad0{82}, keypad1{83}, keypad2{84}, keypad3{85}, keypad4{86}, keypad5{87}, keypad6{88}, keypad7{89},
    keypad8{91}, keypad9{92}, keypadClear{71}, keypadDecimal{65}, keypadDivide{75}, keypadEnter{76}, keypadEquals{81},
    keypadMinus{78}, keypadMultiply{67}, keypadPlus{69};
} // namespace keys

// Event flags to a hot-key mask and back; only the four modifiers survive either way.
std::int64_t carbonModifiers(std::uint64_t modifierFlags);
std::uint64_t modifierFlags(std::int64_t carbonModifiers);

// The symbols of the modifiers among the flags, always in the order control, option, shift,
// command, function; empty when none is present. Other flags (caps lock...) show nothing.
std::string modifierFlagsDescription(std::uint64_t modifierFlags);

// Texts shown instead of what the layout types: arrows, editing keys, F1 to F20...
const std::map<std::int64_t, std::string>& specialKeyTexts();
// The characters menus use for keys whose text is longer than one character.
const std::map<std::int64_t, std::string>& functionKeyEquivalents();

// A key code with a modifier mask, as recorded for a leader key or hot key.
struct Shortcut {
    std::int64_t carbonKeyCode = 0;
    std::int64_t carbonModifiers = 0;

    // Keeps only the four modifier bits of the mask.
    Shortcut(std::int64_t keyCode, std::int64_t modifiers);

    // The mask as event flags.
    std::uint64_t modifiers() const;
    // The fixed text of a special key, else what the current layout types for it; nothing when
    // the layout has no such key (or no layout can be had). Looked up afresh every time, so a
    // layout change shows at once.
    std::optional<std::string> keyToCharacter() const;
    // What a person reads: the modifiers in this desktop's words, then the key text upper-cased
    // (U+FFFD when the key has no text): "Super+Shift+K".
    std::string description() const;
    // The key equivalent of a menu item: the key text when it is one character, else the
    // function-key character when there is one, else empty.
    std::string keyEquivalent() const;

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

} // namespace tavlin::shortcutkit
