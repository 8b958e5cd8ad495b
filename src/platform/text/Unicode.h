#pragma once

#include <string>
#include <string_view>

// Text helpers on ICU, so that orders and letter tests agree with the rest of the platform.
namespace tavlin::unicode {

bool isValidUtf8(std::string_view text);
// Replaces every ill-formed sequence with U+FFFD.
std::string makeValidUtf8(std::string_view text);

std::u16string toUtf16(std::string_view text);
std::string fromUtf16(std::u16string_view text);

// Letters are the code points of the general categories L and M.
bool isLetter(char32_t scalar);
// The first Unicode scalar of the text, or 0 for an empty text.
char32_t firstScalar(std::string_view text);
// The number of user-perceived characters (extended grapheme clusters).
std::size_t characterCount(std::string_view text);
// One character whose first scalar is a letter ("A", "é", not "1" or "AB").
bool isSingleLetter(std::string_view text);

std::string uppercased(std::string_view text);
std::string lowercased(std::string_view text);

// The standard order of texts: by Unicode scalar values of the canonically composed form.
bool canonicalLess(std::string_view a, std::string_view b);
bool canonicallyEqual(std::string_view a, std::string_view b);

} // namespace tavlin::unicode
