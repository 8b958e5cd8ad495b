#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/LeaderKey.h"

namespace tavlin::flateditor {

// Why the leader-key settings of the row sheet give no leader key.
enum class LeaderKeySettingError { unselectedKey, emptyCustomKeyCode, invalidCustomKeyCode, noHotKeyRecorded };

// "no key selected", "empty custom key code", "invalid custom key code", "no hot key recorded".
std::string_view settingText(LeaderKeySettingError error);

// A leader key, or why the settings give none.
using LeaderKeyResult = std::variant<LeaderKey, LeaderKeySettingError>;

inline const LeaderKey* leaderKeyOf(const LeaderKeyResult& result) { return std::get_if<LeaderKey>(&result); }
inline const LeaderKeySettingError* settingErrorOf(const LeaderKeyResult& result) {
    return std::get_if<LeaderKeySettingError>(&result);
}

// A custom key code as typed: an optional sign and decimal digits only, within 64 bits. Not
// range-checked: zero and negative codes pass.
std::variant<std::int64_t, LeaderKeySettingError> parseCustomKeyCode(std::string_view text);

// F1 to F20, the keys offered to a held leader key that loses its own function.
const std::vector<std::int64_t>& functionKeyCodes();

// How the row sheet names a held leader key: "Hold Space, keeping its own function".
std::string heldLeaderKeyTitle(const LeaderKey::HoldInfo& hold);

// The settings behind the row sheet's leader-key control. Only the pressed key's hot key ever
// changes; a held key keeps the settings it was opened with, whatever is recorded.
class LeaderKeyViewState {
public:
    enum class OptionForHoldAndKeepPressFunction { space, custom };
    struct OptionForHoldAndRemovePressFunction {
        enum class Case { keyCode, unselected, custom };
        Case optionCase = Case::unselected;
        std::int64_t value = 0; // the key code of `keyCode`
        friend bool operator==(const OptionForHoldAndRemovePressFunction&, const OptionForHoldAndRemovePressFunction&) = default;
    };

    explicit LeaderKeyViewState(const LeaderKey& initialLeaderKey);

    const LeaderKey& initialLeaderKey() const { return initialLeaderKey_; }
    LeaderKey::Kind currentKind() const { return currentKind_; }
    bool keepPressFunctionForLeaderKeyHold() const { return keepPressFunction_; }
    OptionForHoldAndKeepPressFunction optionForHoldAndKeepPressFunction() const { return keepOption_; }
    const std::string& customKeyCodeTextForHoldAndKeepPressFunction() const { return keepCustomText_; }
    const OptionForHoldAndRemovePressFunction& optionForHoldAndRemovePressFunction() const { return removeOption_; }
    const std::string& customKeyCodeTextForHoldAndRemovePressFunction() const { return removeCustomText_; }
    // The hot key the control shows first and then follows.
    const std::optional<HotKey>& optionForPress() const { return optionForPress_; }

    // The control's change: the hot key set, or nothing once the recording is cleared. Answers
    // the new result.
    LeaderKeyResult hotKeyChanged(const std::optional<HotKey>& hotKey);
    // A held leader key given up for a pressed one, or taken back. Answers the new result.
    LeaderKeyResult kindChanged(LeaderKey::Kind kind);
    LeaderKeyResult currentResult() const;

private:
    LeaderKey initialLeaderKey_;
    LeaderKey::Kind currentKind_ = LeaderKey::Kind::press;
    bool keepPressFunction_ = true;
    OptionForHoldAndKeepPressFunction keepOption_ = OptionForHoldAndKeepPressFunction::space;
    std::string keepCustomText_;
    OptionForHoldAndRemovePressFunction removeOption_;
    std::string removeCustomText_;
    std::optional<HotKey> optionForPress_;
};

} // namespace tavlin::flateditor
