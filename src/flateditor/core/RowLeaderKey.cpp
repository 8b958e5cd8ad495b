#include "flateditor/core/RowLeaderKey.h"

#include <algorithm>
#include <charconv>

#include "model/KeyNames.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::flateditor {

std::string_view settingText(LeaderKeySettingError error) {
    switch (error) {
    case LeaderKeySettingError::unselectedKey: return "no key selected";
    case LeaderKeySettingError::emptyCustomKeyCode: return "empty custom key code";
    case LeaderKeySettingError::invalidCustomKeyCode: return "invalid custom key code";
    case LeaderKeySettingError::noHotKeyRecorded: return "no hot key recorded";
    }
    return "";
}

std::variant<std::int64_t, LeaderKeySettingError> parseCustomKeyCode(std::string_view text) {
    if (text.empty()) return LeaderKeySettingError::emptyCustomKeyCode;
    // One sign at most; from_chars takes a minus sign but no plus sign.
    const bool plus = text.front() == '+';
    const std::string_view digits = plus ? text.substr(1) : text;
    const std::string_view unsignedPart = !plus && digits.front() == '-' ? digits.substr(1) : digits;
    if (unsignedPart.empty() ||
        !std::all_of(unsignedPart.begin(), unsignedPart.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return LeaderKeySettingError::invalidCustomKeyCode;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return LeaderKeySettingError::invalidCustomKeyCode;
    return value;
}

const std::vector<std::int64_t>& functionKeyCodes() {
    static const std::vector<std::int64_t> codes{122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                                 103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
    return codes;
}

LeaderKeyViewState::LeaderKeyViewState(const LeaderKey& initialLeaderKey) : initialLeaderKey_(initialLeaderKey) {
    if (const auto* press = initialLeaderKey.pressInfo()) {
        currentKind_ = LeaderKey::Kind::press;
        optionForPress_ = press->hotKey;
        return;
    }
    const auto& hold = *initialLeaderKey.holdInfo();
    currentKind_ = LeaderKey::Kind::hold;
    keepPressFunction_ = hold.keepPressFunction;
    if (hold.keepPressFunction) {
        if (hold.keyCode != keycodes::space) {
            keepOption_ = OptionForHoldAndKeepPressFunction::custom;
            keepCustomText_ = std::to_string(hold.keyCode);
        }
        return;
    }
    const auto& functionKeys = functionKeyCodes();
    if (std::find(functionKeys.begin(), functionKeys.end(), hold.keyCode) != functionKeys.end()) {
        removeOption_ = {OptionForHoldAndRemovePressFunction::Case::keyCode, hold.keyCode};
    } else {
        removeOption_ = {OptionForHoldAndRemovePressFunction::Case::custom, 0};
        removeCustomText_ = std::to_string(hold.keyCode);
    }
}

std::string heldLeaderKeyTitle(const LeaderKey::HoldInfo& hold) {
    return "Hold " + shownKeyName(hold.keyCode) +
           (hold.keepPressFunction ? ", keeping its own function" : ", without its own function");
}

LeaderKeyResult LeaderKeyViewState::kindChanged(LeaderKey::Kind kind) {
    currentKind_ = kind;
    return currentResult();
}

LeaderKeyResult LeaderKeyViewState::hotKeyChanged(const std::optional<HotKey>& hotKey) {
    optionForPress_ = hotKey;
    return currentResult();
}

LeaderKeyResult LeaderKeyViewState::currentResult() const {
    const auto custom = [](const std::string& text, bool keepPressFunction) -> LeaderKeyResult {
        const auto parsed = parseCustomKeyCode(text);
        if (const auto* error = std::get_if<LeaderKeySettingError>(&parsed)) return *error;
        return LeaderKey::hold(keepPressFunction, std::get<std::int64_t>(parsed));
    };
    if (currentKind_ == LeaderKey::Kind::press) {
        if (!optionForPress_) return LeaderKeySettingError::noHotKeyRecorded;
        return LeaderKey::press(*optionForPress_);
    }
    if (keepPressFunction_) {
        if (keepOption_ == OptionForHoldAndKeepPressFunction::space) return LeaderKey::hold(true, keycodes::space);
        return custom(keepCustomText_, true);
    }
    switch (removeOption_.optionCase) {
    case OptionForHoldAndRemovePressFunction::Case::keyCode: return LeaderKey::hold(false, removeOption_.value);
    case OptionForHoldAndRemovePressFunction::Case::unselected: return LeaderKeySettingError::unselectedKey;
    case OptionForHoldAndRemovePressFunction::Case::custom: return custom(removeCustomText_, false);
    }
    return LeaderKeySettingError::unselectedKey;
}

} // namespace tavlin::flateditor
