#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/Decision.h"

namespace tavlin {

// The editable values of one pattern kind in the pattern sheet.
struct PatternParams {
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
    std::variant<key, message, alwaysMatch> value;
    friend bool operator==(const PatternParams&, const PatternParams&) = default;
};
using PatternParamsByKind = std::map<Pattern::ConfigurationKind, PatternParams>;

// Key code 0, an empty expression, always-match.
const PatternParamsByKind& defaultPatternParams();
// The defaults with the entry of the pattern's own kind filled from it.
PatternParamsByKind patternParams(const Pattern& pattern);
// A new pattern (new identifier, no description) of the kind from its entry; nothing (and one
// empty line) when the entry is missing or of another kind.
std::optional<Pattern> makePattern(Pattern::ConfigurationKind kind, const PatternParamsByKind& params);

// What the pattern sheet is for, and what Save does with its pattern.
struct PatternSheetItem {
    struct NewChance {
        int insertIndex;
    };
    struct EditChance {
        ChancePtr oldChance;
        int replaceIndex;
    };
    struct EditPattern {
        Pattern oldPattern;
        int chanceIndex;
    };
    using ChangeKind = std::variant<NewChance, EditChance, EditPattern>;
    using ChangeWrapper = std::function<void(const std::function<void()>& edit)>;

    Uuid id = Uuid::random();
    ChangeKind changeKind;
    std::optional<Pattern::ConfigurationKind> initialConfigurationKind;
    std::vector<Pattern::ConfigurationKind> allPatternKinds;
    PatternParamsByKind paramsByKind;
    std::function<void(const Pattern&)> newPatternHandler;

    // Fails (nothing) when an edit's index does not name a chance of the container.
    static std::optional<PatternSheetItem> make(ChangeKind changeKind, DecisionPtr decisionContainer,
                                                const ChangeWrapper& changeWrapper,
                                                const std::function<bool(const Decision&)>& stillInTree = nullptr);

    Pattern::ConfigurationKind startKind() const { return initialConfigurationKind.value_or(Pattern::ConfigurationKind::key); }
};

// "Key", "Message", "Always Match".
std::string_view patternKindTitle(Pattern::ConfigurationKind kind);

} // namespace tavlin
