#include "model/HotKey.h"

#include "platform/json/JsonSink.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin {

bool operator<(const HotKey::ComboInfo& a, const HotKey::ComboInfo& b) {
    if (a.modifiersCode != b.modifiersCode) return a.modifiersCode < b.modifiersCode;
    return a.keyCode < b.keyCode;
}

std::string_view rawValue(HotKey::SingleTapModifier modifier) {
    switch (modifier) {
    case HotKey::SingleTapModifier::command: return "⌘";
    case HotKey::SingleTapModifier::shift: return "⇧";
    case HotKey::SingleTapModifier::option: return "⌥";
    case HotKey::SingleTapModifier::control: return "⌃";
    }
    return "";
}

std::optional<HotKey::SingleTapModifier> singleTapModifierFromRawValue(std::string_view text) {
    for (const auto modifier : allSingleTapModifiers) {
        if (rawValue(modifier) == text) return modifier;
    }
    return std::nullopt;
}

int modifierKeyCode(HotKey::SingleTapModifier modifier) {
    switch (modifier) {
    case HotKey::SingleTapModifier::command: return keycodes::command;
    case HotKey::SingleTapModifier::shift: return keycodes::shift;
    case HotKey::SingleTapModifier::option: return keycodes::option;
    case HotKey::SingleTapModifier::control: return keycodes::control;
    }
    return 0;
}

std::string HotKey::keyCodeText() const {
    if (const auto* combo = comboInfo()) {
        return std::to_string(combo->keyCode) + "(" + std::to_string(combo->modifiersCode) + ")";
    }
    return "(" + std::to_string(modifierKeyCode(singleModifierInfo()->singleTapModifier)) + ")";
}

json::Value HotKey::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void HotKey::writeJson(json::Sink& sink) const {
    sink.beginObject();
    if (const auto* combo = comboInfo()) {
        sink.beginObject("combo");
        sink.beginObject("info");
        sink.key("keyCode");
        sink.unsignedInteger(combo->keyCode);
        sink.key("modifiersCode");
        sink.unsignedInteger(combo->modifiersCode);
    } else {
        sink.beginObject("singleModifier");
        sink.beginObject("info");
        sink.member("singleTapModifier", rawValue(singleModifierInfo()->singleTapModifier));
    }
    sink.endObject();
    sink.endObject();
    sink.endObject();
}

HotKey HotKey::fromJson(const JsonReader& reader) {
    const auto key = reader.caseKey("Configuration.HotKey", {"combo", "singleModifier"});
    const JsonReader info = reader.member(key).requireObject("Dictionary").member("info").requireObject("Dictionary");
    if (key == "combo") {
        return combo(info.member("keyCode", "UInt32").uint32(), info.member("modifiersCode", "UInt32").uint32());
    }
    const JsonReader text = info.member("singleTapModifier", "String");
    const auto modifier = singleTapModifierFromRawValue(text.string());
    if (!modifier) {
        throw DecodingError::dataCorrupted(text.codingPath(),
                                           "Cannot initialize SingleTapModifier from invalid String value " + text.string());
    }
    return singleModifier(*modifier);
}

void HotKey::hash(Hasher& hasher) const {
    if (const auto* combo = comboInfo()) {
        hasher.combine(0);
        hasher.combine(combo->keyCode);
        hasher.combine(combo->modifiersCode);
    } else {
        hasher.combine(1);
        hasher.combine(rawValue(singleModifierInfo()->singleTapModifier));
    }
}

bool operator<(const HotKey& a, const HotKey& b) { return a.value_ < b.value_; }

} // namespace tavlin
