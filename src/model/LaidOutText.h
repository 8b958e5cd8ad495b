#pragma once

#include <cstddef>
#include <string_view>

namespace tavlin {

// A row shows a line of an item's text and a hint a line or so more, so no more than this much
// of a description, an action's text or a pattern's text is ever laid out, rendered or read out:
// a text of many megabytes then costs what a short one does. The stored text stays whole.
inline constexpr std::size_t laidOutTextLimit = 4096;

// The start of `text`, at most `limit` bytes, cut before a character, never inside one.
std::string_view laidOutPart(std::string_view text, std::size_t limit = laidOutTextLimit);

} // namespace tavlin
