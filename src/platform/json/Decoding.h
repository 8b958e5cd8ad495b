#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/json/Json.h"

namespace tavlin {

// One step of the path from the document's root to a value: a member name or an index.
struct CodingKey {
    std::string stringValue;
    std::optional<int> intValue;

    static CodingKey member(std::string name) { return {std::move(name), std::nullopt}; }
    static CodingKey index(int i) { return {"Index " + std::to_string(i), i}; }
    friend bool operator==(const CodingKey&, const CodingKey&) = default;
};

using CodingPath = std::vector<CodingKey>;

// "decision.chances[1].pattern"; the empty path is the document itself.
std::string describeCodingPath(const CodingPath& path);

// Why a value could not be read. The debug description is the detail; the localized
// description is the sentence shown in alerts.
class DecodingError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    static DecodingError typeMismatch(std::string type, CodingPath path, std::string debugDescription);
    static DecodingError valueNotFound(std::string type, CodingPath path, std::string debugDescription);
    static DecodingError keyNotFound(std::string key, CodingPath path, std::string debugDescription);
    static DecodingError dataCorrupted(CodingPath path, std::string debugDescription);

    Kind kind() const { return kind_; }
    // The type being decoded (type mismatch, value not found); empty otherwise.
    const std::string& type() const { return type_; }
    // The missing member (key not found); empty otherwise.
    const std::string& key() const { return key_; }
    const CodingPath& codingPath() const { return codingPath_; }
    const std::string& debugDescription() const { return debugDescription_; }
    std::string localizedDescription() const;

private:
    DecodingError(Kind kind, std::string type, std::string key, CodingPath path, std::string debugDescription);

    Kind kind_;
    std::string type_;
    std::string key_;
    CodingPath codingPath_;
    std::string debugDescription_;
};

class EncodingError : public std::runtime_error {
public:
    EncodingError(CodingPath path, std::string debugDescription);

    const CodingPath& codingPath() const { return codingPath_; }
    const std::string& debugDescription() const { return debugDescription_; }
    std::string localizedDescription() const;

private:
    CodingPath codingPath_;
    std::string debugDescription_;
};

// A read-only view of one JSON value and its coding path. Every accessor throws
// DecodingError with the path of the offending value.
class JsonReader {
public:
    explicit JsonReader(const json::Value& value);

    const json::Value& value() const { return *value_; }
    CodingPath codingPath() const;
    bool isNull() const { return value_->is_null(); }

    // Keyed access; the receiver must be an object (type mismatch for `typeName` otherwise).
    bool contains(std::string_view key) const;
    // A required member: missing is "key not found", null is "value not found".
    JsonReader member(std::string_view key, std::string_view expectedType = "") const;
    // An optional member: missing or null gives nothing.
    std::optional<JsonReader> optionalMember(std::string_view key) const;
    // Checks that the value is an object; `typeName` names what was being decoded.
    const JsonReader& requireObject(std::string_view typeName) const;

    // Of a tagged union's object, the one member that names a case. Members that name no case
    // are ignored; none or several give the type mismatch "Invalid number of keys found,
    // expected one." for `typeName`.
    std::string_view caseKey(std::string_view typeName, std::initializer_list<std::string_view> cases) const;
    std::string_view caseKey(std::string_view typeName, const std::vector<std::string_view>& cases) const;

    std::string string() const;
    bool boolean() const;
    std::int64_t int64() const;
    int integer() const;
    std::uint32_t uint32() const;
    double number() const;
    std::vector<JsonReader> elements() const;
    // The same without a list of readers: the number of elements, and each one in order.
    std::size_t elementCount() const { return arrayElements().size(); }
    template <typename Read>
    void forEachElement(Read&& read) const {
        for (const auto& element : arrayElements()) read(JsonReader(*root_, element));
    }

    // Convenience for required and optional scalar members.
    std::string stringMember(std::string_view key) const;
    std::optional<std::string> optionalStringMember(std::string_view key) const;
    bool booleanMember(std::string_view key) const;
    std::optional<bool> optionalBooleanMember(std::string_view key) const;

private:
    [[noreturn]] void throwTypeMismatch(std::string_view expected) const;
    // The elements of an array (type mismatch "Array" otherwise).
    const json::Value::array_t& arrayElements() const;
    // The member's value, or null when there is none; the receiver must be an object.
    const json::Value* find(std::string_view key) const;
    template <typename Cases>
    std::string_view findCaseKey(std::string_view typeName, const Cases& cases) const;
    std::int64_t integral(std::string_view typeName, std::int64_t lowest, std::int64_t highest) const;

    // Readers are two pointers, so reading makes no allocation. The path is only needed for
    // errors: it is found then by searching the document (which outlives its readers) from the
    // value the first reader was made for.
    JsonReader(const json::Value& root, const json::Value& value) : root_(&root), value_(&value) {}

    const json::Value* root_;
    const json::Value* value_;
};

inline constexpr std::string_view invalidNumberOfKeysText = "Invalid number of keys found, expected one.";

// Parses `text` and reads it with `decode`, so that parse and shape errors come out alike.
template <typename Decode>
auto decodeJson(std::string_view text, Decode&& decode) {
    const json::Value value = json::parse(text);
    return decode(JsonReader(value));
}

} // namespace tavlin
