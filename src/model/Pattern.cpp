#include "model/Pattern.h"

#include <charconv>
#include <cstdio>

#include "model/KeyNames.h"
#include "model/LeaderKey.h"
#include "platform/base/Diagnostics.h"
#include "platform/json/JsonSink.h"
#include "platform/text/Regex.h"
#include "platform/text/Unicode.h"

namespace tavlin {

std::string quotedText(std::string_view text) {
    std::string out = "\"";
    for (const char c : unicode::makeValidUtf8(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char buffer[12];
                std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += buffer;
            } else {
                out.push_back(c);
            }
        }
    }
    return out + "\"";
}

namespace {

std::string keysText(const std::vector<std::string>& names) {
    if (names.empty()) return "Key: []";
    if (names.size() == 1) return "Key: " + names.front();
    std::string text = "Key: [";
    bool first = true;
    for (const auto& name : names) {
        if (!first) text += ", ";
        first = false;
        text += quotedText(name);
    }
    return text + "]";
}

} // namespace

std::string Pattern::Kind::description() const {
    if (const auto* k = get<key>()) return keysText(keyNames(k->allowedKeyCodes));
    if (const auto* m = get<message>()) return "Message (regex: \"" + m->regex + "\")";
    return "Always match";
}

namespace {

std::optional<std::uint32_t> decimal(std::string_view digits) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// The hot key whose key-code text ("(55)", "40(256)") the expression matches and nothing else.
std::optional<HotKey> leaderKeyMatchedBy(std::string_view regex) {
    const auto matches = [regex](const HotKey& hotKey) { return Regex::escapedPattern(hotKey.keyCodeText()) == regex; };
    for (const auto modifier : allSingleTapModifiers) {
        if (const auto hotKey = HotKey::singleModifier(modifier); matches(hotKey)) return hotKey;
    }
    constexpr std::string_view open = "\\(", close = "\\)";
    const auto at = regex.find(open);
    if (at == std::string_view::npos || !regex.ends_with(close) || at + open.size() + close.size() > regex.size())
        return std::nullopt;
    const auto keyCode = decimal(regex.substr(0, at));
    const auto modifiers = decimal(regex.substr(at + open.size(), regex.size() - at - open.size() - close.size()));
    if (!keyCode || !modifiers) return std::nullopt;
    // Compared once more, so that "007" or a sign is no leader key.
    if (const auto hotKey = HotKey::combo(*keyCode, *modifiers); matches(hotKey)) return hotKey;
    return std::nullopt;
}

std::optional<std::string> leaderKeyText(const Pattern::Kind& kind) {
    const auto* m = kind.get<Pattern::Kind::message>();
    if (!m) return std::nullopt;
    const auto hotKey = leaderKeyMatchedBy(m->regex);
    if (!hotKey) return std::nullopt;
    return shownText(*hotKey);
}

} // namespace

std::string Pattern::Kind::shownText() const {
    if (const auto leaderKey = leaderKeyText(*this)) return "Leader Key: " + *leaderKey;
    if (const auto* k = get<key>()) return keysText(shownKeyNames(k->allowedKeyCodes));
    return description();
}

std::string Pattern::Kind::hintLabel() const {
    if (const auto leaderKey = leaderKeyText(*this)) return *leaderKey + ":";
    const auto* k = get<key>();
    if (!k || k->allowedKeyCodes.empty()) return shownText() + ":";
    std::string text;
    for (const auto& name : shownKeyNames(k->allowedKeyCodes)) text += (text.empty() ? "" : ", ") + name;
    return text + ":";
}

void Pattern::Kind::hash(Hasher& hasher) const {
    hasher.combine(value_.index());
    if (const auto* k = get<key>()) {
        hasher.combine(k->allowedKeyCodes.size());
        for (const std::int64_t code : k->allowedKeyCodes) hasher.combine(code);
    } else if (const auto* m = get<message>()) {
        hasher.combine(m->regex);
    }
}

bool operator<(const Pattern::Kind& l, const Pattern::Kind& r) {
    using Kind = Pattern::Kind;
    if (const auto* lk = l.get<Kind::key>()) {
        const auto* rk = r.get<Kind::key>();
        if (!rk) return true;
        if (!lk->allowedKeyCodes.empty() && !rk->allowedKeyCodes.empty()) {
            const auto li = sortedKeyCodeIndex(lk->allowedKeyCodes.front());
            const auto ri = sortedKeyCodeIndex(rk->allowedKeyCodes.front());
            if (li && ri) return *li < *ri;
        }
        diag::printLine("");
        return false;
    }
    if (const auto* lm = l.get<Kind::message>()) {
        if (r.get<Kind::key>()) return false;
        if (r.get<Kind::alwaysMatch>()) return true;
        return unicode::canonicalLess(lm->regex, r.get<Kind::message>()->regex);
    }
    return false;
}

json::Value Pattern::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Pattern::writeJson(json::Sink& sink) const {
    sink.beginObject();
    if (const auto* k = kind.get<Kind::key>()) {
        sink.beginObject("key");
        sink.key("allowedKeyCodes");
        sink.beginArray();
        for (const std::int64_t code : k->allowedKeyCodes) sink.integer(code);
        sink.endArray();
    } else if (const auto* m = kind.get<Kind::message>()) {
        sink.beginObject("message");
        sink.member("regex", m->regex);
    } else {
        sink.beginObject("alwaysMatch");
    }
    sink.endObject();
    if (patternDescription) sink.member("description", *patternDescription);
    sink.endObject();
}

Pattern Pattern::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("Pattern.Kind", {"key", "message", "alwaysMatch"});
    const JsonReader payload = reader.member(caseKey).requireObject("Dictionary");
    auto kind = [&]() -> Kind {
        if (caseKey == "key") {
            const JsonReader list = payload.member("allowedKeyCodes", "Array");
            std::vector<std::int64_t> codes;
            codes.reserve(list.elementCount());
            list.forEachElement([&codes](const JsonReader& element) { codes.push_back(element.int64()); });
            return Kind::key{std::move(codes)};
        }
        if (caseKey == "message") return Kind::message{payload.stringMember("regex")};
        return Kind::alwaysMatch{};
    }();
    return Pattern(std::move(kind), reader.optionalStringMember("description"));
}

void Pattern::hash(Hasher& hasher) const {
    hasher.combine(id);
    kind.hash(hasher);
    if (patternDescription) {
        hasher.combine(1);
        hasher.combine(*patternDescription);
    } else {
        hasher.combine(0);
    }
}

std::string_view rawValue(Pattern::ConfigurationKind kind) {
    switch (kind) {
    case Pattern::ConfigurationKind::key: return "key";
    case Pattern::ConfigurationKind::message: return "message";
    case Pattern::ConfigurationKind::alwaysMatch: return "alwaysMatch";
    }
    return "";
}

Pattern::ConfigurationKind configurationKind(const Pattern::Kind& kind) {
    return static_cast<Pattern::ConfigurationKind>(kind.index());
}

} // namespace tavlin
