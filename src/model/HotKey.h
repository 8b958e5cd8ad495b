#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/base/Hasher.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

// A leader key as the configuration stores it: a key combination, or one modifier tapped alone.
// (The configuration names it Configuration::HotKey.)
class HotKey {
public:
    struct ComboInfo {
        std::uint32_t keyCode = 0;       // virtual key code
        std::uint32_t modifiersCode = 0; // Carbon modifier mask
        friend bool operator==(const ComboInfo&, const ComboInfo&) = default;
        friend bool operator<(const ComboInfo& a, const ComboInfo& b);
    };

    struct SingleModifierInfo {
        enum class SingleTapModifier { command, shift, option, control };
        SingleTapModifier singleTapModifier = SingleTapModifier::command;
        friend bool operator==(const SingleModifierInfo&, const SingleModifierInfo&) = default;
        friend bool operator<(const SingleModifierInfo& a, const SingleModifierInfo& b) {
            return a.singleTapModifier < b.singleTapModifier;
        }
    };
    using SingleTapModifier = SingleModifierInfo::SingleTapModifier;

    static HotKey combo(std::uint32_t keyCode, std::uint32_t modifiersCode) { return HotKey(ComboInfo{keyCode, modifiersCode}); }
    static HotKey singleModifier(SingleTapModifier modifier) { return HotKey(SingleModifierInfo{modifier}); }
    explicit HotKey(ComboInfo info) : value_(info) {}
    explicit HotKey(SingleModifierInfo info) : value_(info) {}

    const ComboInfo* comboInfo() const { return std::get_if<ComboInfo>(&value_); }
    const SingleModifierInfo* singleModifierInfo() const { return std::get_if<SingleModifierInfo>(&value_); }

    // "0(256)" for command-A; "(55)" for the command key alone.
    std::string keyCodeText() const;

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static HotKey fromJson(const JsonReader& reader);

    void hash(Hasher& hasher) const;
    friend bool operator==(const HotKey&, const HotKey&) = default;
    // Combinations (by mask, then key code) before single modifiers (command, shift, option, control).
    friend bool operator<(const HotKey& a, const HotKey& b);

private:
    std::variant<ComboInfo, SingleModifierInfo> value_;
};

// The stored symbol ("⌘", "⇧", "⌥", "⌃") and the key code of the left-hand key.
std::string_view rawValue(HotKey::SingleTapModifier modifier);
std::optional<HotKey::SingleTapModifier> singleTapModifierFromRawValue(std::string_view text);
int modifierKeyCode(HotKey::SingleTapModifier modifier);
inline constexpr HotKey::SingleTapModifier allSingleTapModifiers[] = {
    HotKey::SingleTapModifier::command, HotKey::SingleTapModifier::shift, HotKey::SingleTapModifier::option,
    HotKey::SingleTapModifier::control};

} // namespace tavlin
