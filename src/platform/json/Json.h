#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tavlin::json {

// The value model: objects keep the order in which their keys were written.
using Value = nlohmann::ordered_json;

// Deeper documents are refused while parsing, before any recursive code sees them.
inline constexpr int maximumNestingDepth = 512;

enum class Style {
    pretty,  // the shared encoder: two-space indent, "key" : value, keys in written order
    compact, // no white space; used for texts such as usage-count keys
};

// Writes the text the platform encoder writes: "/" is escaped as "\/", non-ASCII text is
// kept as UTF-8 (ill-formed sequences become U+FFFD). Throws EncodingError for a number that
// is not finite, or for a value that has no JSON text.
std::string encode(const Value& value, Style style = Style::pretty);

class Sink;
// The text of the value that `produce` sends to its sink, without building that value.
std::string encodeFrom(const std::function<void(Sink&)>& produce, Style style = Style::pretty);
// The same text handed to `consume` piece by piece, as it is written, through one small buffer:
// a configuration file runs to megabytes, and is written to the file without ever being held.
void encodeTo(const std::function<void(Sink&)>& produce, const std::function<void(std::string_view)>& consume,
              Style style = Style::pretty);
// Throws the EncodingError that writing the value would, without writing anything; so a file
// can be left untouched when its new content cannot be written. A value nested deeper than
// maximumNestingDepth is refused too, as parse would refuse its text.
void checkEncodable(const std::function<void(Sink&)>& produce);

// Parses a whole UTF-8 document. Throws DecodingError (data corrupted) for empty or
// malformed input, invalid UTF-8, or nesting deeper than maximumNestingDepth.
Value parse(std::string_view text);

} // namespace tavlin::json
