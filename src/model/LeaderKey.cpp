#include "model/LeaderKey.h"

#include "model/KeyNames.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {
namespace {

std::string comboText(const HotKey::ComboInfo& combo) {
    return modifierSymbols(combo.modifiersCode) + keyName(static_cast<int>(combo.keyCode));
}

} // namespace

std::string LeaderKey::description() const {
    if (const auto* hold = holdInfo()) return keyName(hold->keyCode);
    const HotKey& hotKey = pressInfo()->hotKey;
    if (const auto* combo = hotKey.comboInfo()) return comboText(*combo);
    return std::string(rawValue(hotKey.singleModifierInfo()->singleTapModifier));
}

std::string modifierKeyName(const LeaderKey& leaderKey) {
    const auto* press = leaderKey.pressInfo();
    if (!press || press->hotKey.comboInfo()) return leaderKey.description();
    switch (press->hotKey.singleModifierInfo()->singleTapModifier) {
    case HotKey::SingleTapModifier::command: return "⌘ Command";
    case HotKey::SingleTapModifier::shift: return "⇧ Shift";
    case HotKey::SingleTapModifier::option: return "⌥ Option";
    case HotKey::SingleTapModifier::control: return "⌃ Control";
    }
    return leaderKey.description();
}

std::string_view shownText(HotKey::SingleTapModifier modifier) {
    switch (modifier) {
    case HotKey::SingleTapModifier::command: return words::superKey;
    case HotKey::SingleTapModifier::shift: return words::shiftKey;
    case HotKey::SingleTapModifier::option: return words::altKey;
    case HotKey::SingleTapModifier::control: return words::controlKey;
    }
    return {};
}

std::string shownText(const HotKey& hotKey) {
    if (const auto* combo = hotKey.comboInfo())
        return words::keyCombination(static_cast<std::uint32_t>(combo->modifiersCode), shownKeyName(combo->keyCode));
    return std::string(shownText(hotKey.singleModifierInfo()->singleTapModifier));
}

std::string shownText(const LeaderKey& leaderKey) {
    if (const auto* hold = leaderKey.holdInfo()) return shownKeyName(hold->keyCode);
    return shownText(leaderKey.pressInfo()->hotKey);
}

json::Value LeaderKey::toJson() const {
    json::Value info = json::Value::object();
    json::Value value = json::Value::object();
    if (const auto* hold = holdInfo()) {
        info["keepPressFunction"] = hold->keepPressFunction;
        info["keyCode"] = hold->keyCode;
        value["hold"]["info"] = std::move(info);
    } else {
        info["hotKey"] = pressInfo()->hotKey.toJson();
        value["press"]["info"] = std::move(info);
    }
    return value;
}

LeaderKey LeaderKey::fromJson(const JsonReader& reader) {
    const auto key = reader.caseKey("LeaderKey", {"hold", "press"});
    const JsonReader info = reader.member(key).requireObject("Dictionary").member("info").requireObject("Dictionary");
    if (key == "hold") return hold(info.booleanMember("keepPressFunction"), info.member("keyCode", "Int").int64());
    return press(HotKey::fromJson(info.member("hotKey")));
}

void LeaderKey::hash(Hasher& hasher) const {
    if (const auto* hold = holdInfo()) {
        hasher.combine(0);
        hasher.combine(hold->keepPressFunction);
        hasher.combine(hold->keyCode);
    } else {
        hasher.combine(1);
        pressInfo()->hotKey.hash(hasher);
    }
}

} // namespace tavlin
