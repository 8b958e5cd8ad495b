#pragma once

#include <string>
#include <string_view>

// UTF-8 checks without any Unicode library, for code that also runs in the command-line
// client, which must start as fast as the bus's own tools.
namespace tavlin::utf8 {

bool isValid(std::string_view text);
// The length of the well-formed sequence that starts at `at`, or 0 when it is ill-formed.
int wellFormedSequenceLength(std::string_view text, std::size_t at);
// The length of the well-formed sequence that starts at `at`, or the length of its maximal
// ill-formed subpart as a negative number (at least -1): what makeValid replaces with one U+FFFD.
int sequenceLength(std::string_view text, std::size_t at);
// Replaces every ill-formed sequence (maximal subpart) with U+FFFD.
std::string makeValid(std::string_view text);

} // namespace tavlin::utf8
