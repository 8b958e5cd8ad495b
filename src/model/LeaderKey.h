#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "model/HotKey.h"

namespace tavlin {

// The leader key of one flat binding: a hot key to press, or a key to hold.
class LeaderKey {
public:
    struct HoldInfo {
        bool keepPressFunction = false; // the held key keeps its ordinary function too
        std::int64_t keyCode = 0;
        friend bool operator==(const HoldInfo&, const HoldInfo&) = default;
        friend bool operator<(const HoldInfo& a, const HoldInfo& b) {
            if (a.keepPressFunction != b.keepPressFunction) return !a.keepPressFunction;
            return a.keyCode < b.keyCode;
        }
    };

    struct PressInfo {
        HotKey hotKey;
        friend bool operator==(const PressInfo&, const PressInfo&) = default;
        friend bool operator<(const PressInfo& a, const PressInfo& b) { return a.hotKey < b.hotKey; }
    };

    enum class Kind { hold, press };

    static LeaderKey hold(bool keepPressFunction, std::int64_t keyCode) {
        return LeaderKey(HoldInfo{keepPressFunction, keyCode});
    }
    static LeaderKey press(HotKey hotKey) { return LeaderKey(PressInfo{std::move(hotKey)}); }
    explicit LeaderKey(HoldInfo info) : value_(info) {}
    explicit LeaderKey(PressInfo info) : value_(std::move(info)) {}

    Kind kind() const { return value_.index() == 0 ? Kind::hold : Kind::press; }
    const HoldInfo* holdInfo() const { return std::get_if<HoldInfo>(&value_); }
    const PressInfo* pressInfo() const { return std::get_if<PressInfo>(&value_); }

    // The short text of diagnostic lines and the stored symbols: "⌘" for a lone command key,
    // "⌃⇧F1" for a combination.
    std::string description() const;

    json::Value toJson() const;
    static LeaderKey fromJson(const JsonReader& reader);

    void hash(Hasher& hasher) const;
    friend bool operator==(const LeaderKey&, const LeaderKey&) = default;
    // Hold keys first, then press keys in the order of their hot keys.
    friend bool operator<(const LeaderKey& a, const LeaderKey& b) { return a.value_ < b.value_; }

private:
    std::variant<HoldInfo, PressInfo> value_;
};

// The cases the flat editor offers, in order.
inline constexpr LeaderKey::Kind allLeaderKeyKinds[] = {LeaderKey::Kind::hold, LeaderKey::Kind::press};

// The long text, as outcomes post it and generated trees match it: "⌘ Command" for a lone
// command key, otherwise as the description.
std::string modifierKeyName(const LeaderKey& leaderKey);

// What a person reads, in this desktop's words: "Super+Shift+K" for a combination, "Super" for
// a lone modifier, the key's name for a held key.
std::string shownText(const HotKey& hotKey);
std::string shownText(const LeaderKey& leaderKey);
std::string_view shownText(HotKey::SingleTapModifier modifier);

} // namespace tavlin
