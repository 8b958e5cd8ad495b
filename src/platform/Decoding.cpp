#include "platform/Decoding.h"

#include <cmath>
#include <limits>

namespace tavlin {
namespace {

std::string jsonTypeName(const json::Value& value) {
    switch (value.type()) {
    case json::Value::value_t::null: return "null";
    case json::Value::value_t::boolean: return "a boolean";
    case json::Value::value_t::number_integer:
    case json::Value::value_t::number_unsigned:
    case json::Value::value_t::number_float: return "a number";
    case json::Value::value_t::string: return "a string";
    case json::Value::value_t::array: return "an array";
    case json::Value::value_t::object: return "a dictionary";
    default: return "an unknown value";
    }
}

std::string numberText(const json::Value& value) {
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isnan(d)) return "nan";
        if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    }
    return value.dump();
}

} // namespace

std::string describeCodingPath(const CodingPath& path) {
    std::string text;
    for (const auto& key : path) {
        if (key.intValue) {
            text += "[" + std::to_string(*key.intValue) + "]";
        } else {
            if (!text.empty()) text += ".";
            text += key.stringValue;
        }
    }
    return text;
}

DecodingError::DecodingError(Kind kind, std::string type, std::string key, CodingPath path, std::string debugDescription)
    : std::runtime_error(debugDescription + (path.empty() ? "" : " (at " + describeCodingPath(path) + ")")),
      kind_(kind), type_(std::move(type)), key_(std::move(key)), codingPath_(std::move(path)),
      debugDescription_(std::move(debugDescription)) {}

DecodingError DecodingError::typeMismatch(std::string type, CodingPath path, std::string debugDescription) {
    return DecodingError(Kind::typeMismatch, std::move(type), {}, std::move(path), std::move(debugDescription));
}

DecodingError DecodingError::valueNotFound(std::string type, CodingPath path, std::string debugDescription) {
    return DecodingError(Kind::valueNotFound, std::move(type), {}, std::move(path), std::move(debugDescription));
}

DecodingError DecodingError::keyNotFound(std::string key, CodingPath path, std::string debugDescription) {
    return DecodingError(Kind::keyNotFound, {}, std::move(key), std::move(path), std::move(debugDescription));
}

DecodingError DecodingError::dataCorrupted(CodingPath path, std::string debugDescription) {
    return DecodingError(Kind::dataCorrupted, {}, {}, std::move(path), std::move(debugDescription));
}

std::string DecodingError::localizedDescription() const {
    const bool missing = kind_ == Kind::keyNotFound || kind_ == Kind::valueNotFound;
    std::string text = missing ? "The data couldn’t be read because it is missing."
                               : "The data couldn’t be read because it isn’t in the correct format.";
    return text + " " + what();
}

EncodingError::EncodingError(CodingPath path, std::string debugDescription)
    : std::runtime_error(debugDescription + (path.empty() ? "" : " (at " + describeCodingPath(path) + ")")),
      codingPath_(std::move(path)), debugDescription_(std::move(debugDescription)) {}

std::string EncodingError::localizedDescription() const {
    return std::string("The data couldn’t be written because it isn’t in the correct format. ") + what();
}

JsonReader::JsonReader(const json::Value& value) : value_(&value) {}

JsonReader::JsonReader(const json::Value& value, std::shared_ptr<const PathStep> path)
    : value_(&value), path_(std::move(path)) {}

JsonReader JsonReader::child(const json::Value& value, const std::string* name, int index) const {
    return JsonReader(value, std::make_shared<const PathStep>(PathStep{path_, name, index}));
}

CodingPath JsonReader::codingPath() const {
    CodingPath path;
    for (auto step = path_.get(); step; step = step->parent.get()) {
        path.push_back(step->name ? CodingKey::member(*step->name) : CodingKey::index(step->index));
    }
    return CodingPath(path.rbegin(), path.rend());
}

void JsonReader::throwTypeMismatch(std::string_view expected) const {
    if (value_->is_null()) {
        throw DecodingError::valueNotFound(std::string(expected), codingPath(),
                                           "Expected " + std::string(expected) + " value but found null instead.");
    }
    throw DecodingError::typeMismatch(std::string(expected), codingPath(),
                                      "Expected to decode " + std::string(expected) + " but found " +
                                          jsonTypeName(*value_) + " instead.");
}

const JsonReader& JsonReader::requireObject(std::string_view typeName) const {
    if (!value_->is_object()) throwTypeMismatch(typeName.empty() ? "Dictionary" : typeName);
    return *this;
}

bool JsonReader::contains(std::string_view key) const {
    requireObject("Dictionary");
    return value_->contains(key);
}

JsonReader JsonReader::member(std::string_view key, std::string_view expectedType) const {
    requireObject("Dictionary");
    const auto found = value_->find(key);
    if (found == value_->end()) {
        throw DecodingError::keyNotFound(std::string(key), codingPath(),
                                         "No value associated with key \"" + std::string(key) + "\".");
    }
    JsonReader reader = child(found.value(), &found.key(), 0);
    if (found->is_null()) reader.throwTypeMismatch(expectedType.empty() ? "a" : expectedType);
    return reader;
}

std::optional<JsonReader> JsonReader::optionalMember(std::string_view key) const {
    requireObject("Dictionary");
    const auto found = value_->find(key);
    if (found == value_->end() || found->is_null()) return std::nullopt;
    return child(found.value(), &found.key(), 0);
}

std::string_view JsonReader::caseKey(std::string_view typeName, std::initializer_list<std::string_view> cases) const {
    return caseKey(typeName, std::vector<std::string_view>(cases));
}

std::string_view JsonReader::caseKey(std::string_view typeName, const std::vector<std::string_view>& cases) const {
    requireObject(typeName);
    std::string_view found;
    int count = 0;
    for (const auto name : cases) {
        if (value_->contains(name)) {
            found = name;
            ++count;
        }
    }
    if (count != 1) {
        throw DecodingError::typeMismatch(std::string(typeName), codingPath(), std::string(invalidNumberOfKeysText));
    }
    return found;
}

std::string JsonReader::string() const {
    if (!value_->is_string()) throwTypeMismatch("String");
    return value_->get<std::string>();
}

bool JsonReader::boolean() const {
    if (!value_->is_boolean()) throwTypeMismatch("Bool");
    return value_->get<bool>();
}

std::int64_t JsonReader::integral(std::string_view typeName, std::int64_t lowest, std::int64_t highest) const {
    if (!value_->is_number()) throwTypeMismatch(typeName);
    bool fits = false;
    std::int64_t result = 0;
    if (value_->is_number_integer() && !value_->is_number_unsigned()) {
        result = value_->get<std::int64_t>();
        fits = true;
    } else if (value_->is_number_unsigned()) {
        const auto u = value_->get<std::uint64_t>();
        fits = u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        result = static_cast<std::int64_t>(u);
    } else {
        const double d = value_->get<double>();
        // Integer texts beyond Int64 arrive here rounded, possibly to exactly -2^63; so both
        // bounds are exclusive, or -9223372036854775809 would read as Int64.min.
        fits = std::isfinite(d) && std::trunc(d) == d && d > -9223372036854775808.0 && d < 9223372036854775808.0;
        if (fits) result = static_cast<std::int64_t>(d);
    }
    if (!fits || result < lowest || result > highest) {
        throw DecodingError::dataCorrupted(codingPath(), "Parsed JSON number <" + numberText(*value_) + "> does not fit in " +
                                                      std::string(typeName) + ".");
    }
    return result;
}

std::int64_t JsonReader::int64() const {
    return integral("Int", std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

int JsonReader::integer() const {
    return static_cast<int>(integral("Int32", std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::uint32_t JsonReader::uint32() const {
    return static_cast<std::uint32_t>(integral("UInt32", 0, std::numeric_limits<std::uint32_t>::max()));
}

double JsonReader::number() const {
    if (!value_->is_number()) throwTypeMismatch("Double");
    const double d = value_->get<double>();
    if (!std::isfinite(d)) {
        throw DecodingError::dataCorrupted(codingPath(), "Parsed JSON number <" + numberText(*value_) +
                                                      "> does not fit in Double.");
    }
    return d;
}

std::vector<JsonReader> JsonReader::elements() const {
    if (!value_->is_array()) throwTypeMismatch("Array");
    std::vector<JsonReader> result;
    result.reserve(value_->size());
    int index = 0;
    for (const auto& element : *value_) result.push_back(child(element, nullptr, index++));
    return result;
}

std::string JsonReader::stringMember(std::string_view key) const { return member(key, "String").string(); }

std::optional<std::string> JsonReader::optionalStringMember(std::string_view key) const {
    if (auto m = optionalMember(key)) return m->string();
    return std::nullopt;
}

bool JsonReader::booleanMember(std::string_view key) const { return member(key, "Bool").boolean(); }

std::optional<bool> JsonReader::optionalBooleanMember(std::string_view key) const {
    if (auto m = optionalMember(key)) return m->boolean();
    return std::nullopt;
}

} // namespace tavlin
