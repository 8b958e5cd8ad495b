#include "model/ActionOutcome.h"

#include "platform/base/Hasher.h"

namespace tavlin {

std::int64_t ActionOutcome::id() const {
    Hasher hasher;
    hasher.combine(value_.index());
    if (const auto* k = get<key>()) hasher.combine(k->keyCode);
    else hasher.combine(get<message>()->text);
    return hasher.finalize();
}

json::Value ActionOutcome::toJson() const {
    json::Value value = json::Value::object();
    if (const auto* k = get<key>()) value["key"]["keyCode"] = k->keyCode;
    else value["message"]["text"] = get<message>()->text;
    return value;
}

ActionOutcome ActionOutcome::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("ActionOutcome", {"key", "message"});
    const JsonReader payload = reader.member(caseKey).requireObject("Dictionary");
    if (caseKey == "key") return key{payload.member("keyCode", "Int").int64()};
    return message{payload.stringMember("text")};
}

} // namespace tavlin
