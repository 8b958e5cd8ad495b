#include "platform/Regex.h"

#include "platform/Diagnostics.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

namespace tavlin {
namespace {

// In ICU's matching time units (roughly milliseconds).
constexpr int32_t searchTimeLimit = 200;

} // namespace

struct Regex::Compiled {
    std::string source;
    std::unique_ptr<icu::RegexPattern> pattern;
};

Regex::Regex(std::shared_ptr<const Compiled> compiled) : compiled_(std::move(compiled)) {}

std::optional<Regex> Regex::compile(std::string_view pattern, std::string* error) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size())));
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(text, 0, parseError, status));
    if (U_FAILURE(status) || !compiled) {
        if (error) {
            *error = std::string("The value “") + std::string(pattern) + "” is invalid (" + u_errorName(status) + " at offset " +
                     std::to_string(parseError.offset) + ").";
        }
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
