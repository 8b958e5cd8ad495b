#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/base/Hasher.h"
#include "platform/base/Uuid.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

// The test half of a chance: which outcome (typed key or message) leads on.
struct Pattern {
    class Kind {
    public:
        struct key {
            std::vector<std::int64_t> allowedKeyCodes;
            friend bool operator==(const key&, const key&) = default;
        };
        struct message {
            std::string regex;
            friend bool operator==(const message&, const message&) = default;
        };
        struct alwaysMatch {
            friend bool operator==(const alwaysMatch&, const alwaysMatch&) = default;
        };

        Kind(key value) : value_(std::move(value)) {}
        Kind(message value) : value_(std::move(value)) {}
        Kind(alwaysMatch value) : value_(value) {}

        template <typename Case>
        const Case* get() const {
            return std::get_if<Case>(&value_);
        }
        std::size_t index() const { return value_.index(); }

        // "Key: A", "Key: [\"A\", \"B\"]", "Message (regex: \"…\")", "Always match".
        std::string description() const;
        // What a person reads: the description with the keys' names as a person reads them, but a
        // message that is exactly a leader key's key-code text (as generated trees match it)
        // names that key: "Leader Key: Super".
        std::string shownText() const;
        // The hint's label before a chance's actions: the keys alone ("T:", "A, B:"), or the
        // leader key ("Super:"), otherwise the shown text, each followed by one colon.
        std::string hintLabel() const;

        void hash(Hasher& hasher) const;
        friend bool operator==(const Kind&, const Kind&) = default;
        // Key patterns (by the position of their first key in sortedAvailableKeyCodes), then
        // message patterns (by expression text), then always-match. Not a strict weak order: a
        // key pattern that cannot be placed compares as not less either way.
        friend bool operator<(const Kind& l, const Kind& r);

    private:
        std::variant<key, message, alwaysMatch> value_;
    };

    enum class ConfigurationKind { key, message, alwaysMatch };

    Uuid id = Uuid::random(); // never stored: every decode makes a new one
    Kind kind;
    std::optional<std::string> patternDescription;

    explicit Pattern(Kind kind, std::optional<std::string> description = std::nullopt)
        : kind(std::move(kind)), patternDescription(std::move(description)) {}

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static Pattern fromJson(const JsonReader& reader);

    void hash(Hasher& hasher) const;
    friend bool operator==(const Pattern&, const Pattern&) = default;
};

// How the pattern editor may change a pattern.
struct PatternConfigurability {
    bool readOnly = false;
    Pattern::ConfigurationKind configurationKind = Pattern::ConfigurationKind::key; // when not read-only
    friend bool operator==(const PatternConfigurability& a, const PatternConfigurability& b) {
        return a.readOnly == b.readOnly && (a.readOnly || a.configurationKind == b.configurationKind);
    }
};

inline constexpr Pattern::ConfigurationKind allPatternConfigurationKinds[] = {
    Pattern::ConfigurationKind::key, Pattern::ConfigurationKind::message, Pattern::ConfigurationKind::alwaysMatch};
std::string_view rawValue(Pattern::ConfigurationKind kind);
// Each pattern kind is edited through the configuration kind of the same name.
Pattern::ConfigurationKind configurationKind(const Pattern::Kind& kind);

// A JSON string literal with its quotes and escapes, as lists of texts are shown.
std::string quotedText(std::string_view text);

} // namespace tavlin
