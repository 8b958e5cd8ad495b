#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/base/Hasher.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin::test {

// The decoding error that `body` throws, or nothing when it throws none.
template <typename Body>
std::optional<DecodingError> decodingErrorOf(Body&& body) {
    try {
        body();
    } catch (const DecodingError& error) {
        return error;
    }
    return std::nullopt;
}

// A tagged union refused for holding no case key or several: a type mismatch for `type`.
inline ::testing::AssertionResult isInvalidNumberOfKeys(const std::optional<DecodingError>& error, std::string_view type) {
    if (!error) return ::testing::AssertionFailure() << "decoding succeeded";
    if (error->kind() != DecodingError::Kind::typeMismatch)
        return ::testing::AssertionFailure() << "not a type mismatch: " << error->what();
    if (error->type() != type) return ::testing::AssertionFailure() << "type is " << error->type();
    if (error->debugDescription() != invalidNumberOfKeysText) return ::testing::AssertionFailure() << error->debugDescription();
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult hasKind(const std::optional<DecodingError>& error, DecodingError::Kind kind) {
    if (!error) return ::testing::AssertionFailure() << "decoding succeeded";
    if (error->kind() != kind) return ::testing::AssertionFailure() << "other error: " << error->what();
    return ::testing::AssertionSuccess();
}

template <typename T>
std::int64_t hashOf(const T& value) {
    Hasher hasher;
    value.hash(hasher);
    return hasher.finalize();
}

// Decodes `text` with T::fromJson.
template <typename T>
auto decode(std::string_view text) {
    return decodeJson(text, [](const JsonReader& reader) { return T::fromJson(reader); });
}

inline json::Value parsed(std::string_view text) { return json::parse(text); }

} // namespace tavlin::test
