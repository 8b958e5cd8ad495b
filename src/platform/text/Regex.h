#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin {

// A compiled regular expression with the platform's semantics (ICU syntax, no options),
// searched over UTF-16 ranges. Copies share the compiled pattern. A search that runs past its time
// limit counts as no match, so a pathological expression cannot freeze the main thread.
class Regex {
public:
    struct Range {
        std::int32_t location = 0; // UTF-16 offset
        std::int32_t length = 0;   // UTF-16 units
        friend bool operator==(const Range&, const Range&) = default;
    };

    // Nothing when the expression does not compile; `error` then receives the reason with the
    // compiler's code and `reason` the same in plain words for people.
    static std::optional<Regex> compile(std::string_view pattern, std::string* error = nullptr, std::string* reason = nullptr);

    const std::string& pattern() const;
    // The first match of a search over the whole text.
    std::optional<Range> firstMatch(std::string_view text) const;
    // Whether the first match found spans the whole text.
    bool firstMatchSpansWholeText(std::string_view text) const;

    // The expression that matches `text` literally: every metacharacter gets a backslash.
    static std::string escapedPattern(std::string_view text);

private:
    struct Compiled;
    explicit Regex(std::shared_ptr<const Compiled> compiled);
    std::shared_ptr<const Compiled> compiled_;
};

} // namespace tavlin
