#include "platform/text/Regex.h"

#include "platform/base/Diagnostics.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

namespace tavlin {
namespace {

// In ICU's matching time units (roughly milliseconds).
constexpr int32_t searchTimeLimit = 200;

// The compiler's codes a typed expression can meet, said the way a person would.
const char* reasonInWords(UErrorCode status) {
    switch (status) {
    case U_REGEX_MISMATCHED_PAREN: return "a parenthesis is not closed";
    case U_REGEX_MISSING_CLOSE_BRACKET: return "a bracket is not closed";
    case U_REGEX_INVALID_RANGE: return "a range in brackets is not valid";
    case U_REGEX_RULE_SYNTAX: return "a character is not allowed where it stands";
    case U_REGEX_BAD_ESCAPE_SEQUENCE: return "a backslash is not followed by a known escape";
    case U_REGEX_PROPERTY_SYNTAX: return "a character property is not valid";
    case U_REGEX_UNIMPLEMENTED: return "it uses a feature that is not supported";
    case U_REGEX_NUMBER_TOO_BIG: return "a number is too large";
    case U_REGEX_BAD_INTERVAL: return "a repetition count in braces is not valid";
    case U_REGEX_MAX_LT_MIN: return "a repetition count has its maximum below its minimum";
    case U_REGEX_INVALID_BACK_REF: return "a back reference names a group that does not exist";
    case U_REGEX_INVALID_FLAG: return "a mode flag is not valid";
    case U_REGEX_LOOK_BEHIND_LIMIT: return "a look-behind can match text of any length";
    case U_REGEX_SET_CONTAINS_STRING: return "a set in brackets contains a string";
    case U_REGEX_PATTERN_TOO_BIG: return "it is too large";
    case U_REGEX_INVALID_CAPTURE_GROUP_NAME: return "a group name is not valid";
    default: return "it cannot be read";
    }
}

} // namespace

struct Regex::Compiled {
    std::string source;
    std::unique_ptr<icu::RegexPattern> pattern;
};

Regex::Regex(std::shared_ptr<const Compiled> compiled) : compiled_(std::move(compiled)) {}

std::optional<Regex> Regex::compile(std::string_view pattern, std::string* error, std::string* reason) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size())));
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(text, 0, parseError, status));
    if (U_FAILURE(status) || !compiled) {
        if (error) {
            *error = std::string("The value “") + std::string(pattern) + "” is invalid (" + u_errorName(status) + " at offset " +
                     std::to_string(parseError.offset) + ").";
        }
        if (reason) *reason = reasonInWords(status);
        return std::nullopt;
    }
    auto holder = std::make_shared<Compiled>();
    holder->source = std::string(pattern);
    holder->pattern = std::move(compiled);
    return Regex(std::move(holder));
}

const std::string& Regex::pattern() const { return compiled_->source; }

std::optional<Regex::Range> Regex::firstMatch(std::string_view text) const {
    UErrorCode status = U_ZERO_ERROR;
    const auto input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return std::nullopt;
    // A pathological expression must not freeze the main thread: give up as "no match".
    matcher->setTimeLimit(searchTimeLimit, status);
    const bool found = matcher->find(status);
    if (status == U_REGEX_TIME_OUT) {
        diag::printLine("Regular expression search gave up after its time limit: " + compiled_->source);
        return std::nullopt;
    }
    if (!found || U_FAILURE(status)) return std::nullopt;
    const int32_t start = matcher->start(status);
    const int32_t end = matcher->end(status);
    if (U_FAILURE(status)) return std::nullopt;
    return Range{start, end - start};
}

bool Regex::firstMatchSpansWholeText(std::string_view text) const {
    const auto range = firstMatch(text);
    if (!range) return false;
    const auto length = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size()))).length();
    return range->location == 0 && range->length == length;
}

std::string Regex::escapedPattern(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        switch (c) {
        case '\\':
        case '*':
        case '?':
        case '+':
        case '[':
        case '(':
        case ')':
        case '{':
        case '}':
        case '^':
        case '$':
        case '|':
        case '.':
        case '/': out.push_back('\\'); break;
        default: break;
        }
        out.push_back(c);
    }
    return out;
}

} // namespace tavlin
