#include "platform/json/Decoding.h"

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
    : std::runtime_error(debugDescription + (path.empty() ? "" : " (at " + describeCodingPath(path) + ")")), kind_(kind),
      type_(std::move(type)), key_(std::move(key)), codingPath_(std::move(path)), debugDescription_(std::move(debugDescription)) {
}

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

JsonReader::JsonReader(const json::Value& value) : root_(&value), value_(&value) {}

CodingPath JsonReader::codingPath() const {
    // Depth first from the root, keeping the next child to visit at each level; iterative, so
    // that no document is too deep for it.
    struct Level {
        const json::Value* node;
        std::size_t next;
    };
    const auto isContainer = [](const json::Value& node) { return node.is_array() || node.is_object(); };
    const auto memberAt = [](const json::Value& object, std::size_t index) -> const auto& {
        return *(object.get_ref<const json::Value::object_t&>().begin() + static_cast<std::ptrdiff_t>(index));
    };
    std::vector<Level> levels;
    if (value_ != root_ && isContainer(*root_)) levels.push_back({root_, 0});
    while (!levels.empty()) {
        Level& level = levels.back();
        const json::Value& node = *level.node;
        if (level.next == node.size()) {
            levels.pop_back();
            continue;
        }
        const std::size_t index = level.next++;
        const json::Value& child = node.is_array() ? node.get_ref<const json::Value::array_t&>()[index]
                                                   : memberAt(node, index).second;
        if (&child == value_) {
            CodingPath path;
            path.reserve(levels.size());
            for (const auto& step : levels) {
                const std::size_t at = step.next - 1;
                path.push_back(step.node->is_array() ? CodingKey::index(static_cast<int>(at))
                                                     : CodingKey::member(memberAt(*step.node, at).first));
            }
            return path;
        }
        if (isContainer(child)) levels.push_back({&child, 0});
    }
    return {};
}

void JsonReader::throwTypeMismatch(std::string_view expected) const {
    if (value_->is_null()) {
        throw DecodingError::valueNotFound(std::string(expected), codingPath(),
                                           "Expected " + std::string(expected) + " value but found null instead.");
    }
    throw DecodingError::typeMismatch(std::string(expected), codingPath(),
                                      "Expected to decode " + std::string(expected) + " but found " + jsonTypeName(*value_) +
                                          " instead.");
}

const JsonReader& JsonReader::requireObject(std::string_view typeName) const {
    if (!value_->is_object()) throwTypeMismatch(typeName.empty() ? "Dictionary" : typeName);
    return *this;
}

bool JsonReader::contains(std::string_view key) const { return find(key) != nullptr; }

const json::Value* JsonReader::find(std::string_view key) const {
    requireObject("Dictionary");
    for (const auto& [name, element] : value_->get_ref<const json::Value::object_t&>()) {
        if (name == key) return &element;
    }
    return nullptr;
}

JsonReader JsonReader::member(std::string_view key, std::string_view expectedType) const {
    const json::Value* found = find(key);
    if (!found) {
        throw DecodingError::keyNotFound(std::string(key), codingPath(),
                                         "No value associated with key \"" + std::string(key) + "\".");
    }
    const JsonReader reader(*root_, *found);
    if (found->is_null()) reader.throwTypeMismatch(expectedType.empty() ? "a" : expectedType);
    return reader;
}

std::optional<JsonReader> JsonReader::optionalMember(std::string_view key) const {
    const json::Value* found = find(key);
    if (!found || found->is_null()) return std::nullopt;
    return JsonReader(*root_, *found);
}

template <typename Cases>
std::string_view JsonReader::findCaseKey(std::string_view typeName, const Cases& cases) const {
    requireObject(typeName);
    // Names are unique in an object, so counting the members that name a case counts the cases present.
    std::string_view found;
    int count = 0;
    for (const auto& member : value_->get_ref<const json::Value::object_t&>()) {
        for (const std::string_view name : cases) {
            if (member.first == name) {
                found = name;
                ++count;
                break;
            }
        }
    }
    if (count != 1) {
        throw DecodingError::typeMismatch(std::string(typeName), codingPath(), std::string(invalidNumberOfKeysText));
    }
    return found;
}

std::string_view JsonReader::caseKey(std::string_view typeName, std::initializer_list<std::string_view> cases) const {
    return findCaseKey(typeName, cases);
}

std::string_view JsonReader::caseKey(std::string_view typeName, const std::vector<std::string_view>& cases) const {
    return findCaseKey(typeName, cases);
}

std::string JsonReader::string() const {
    if (!value_->is_string()) throwTypeMismatch("String");
    return value_->get_ref<const std::string&>();
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
        throw DecodingError::dataCorrupted(codingPath(),
                                           "Parsed JSON number <" + numberText(*value_) + "> does not fit in Double.");
    }
    return d;
}

const json::Value::array_t& JsonReader::arrayElements() const {
    if (!value_->is_array()) throwTypeMismatch("Array");
    return value_->get_ref<const json::Value::array_t&>();
}

std::vector<JsonReader> JsonReader::elements() const {
    std::vector<JsonReader> result;
    result.reserve(elementCount());
    forEachElement([&result](const JsonReader& element) { result.push_back(element); });
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
