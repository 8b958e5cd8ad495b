#include <gtest/gtest.h>

#include "model/LaidOutText.h"

namespace tavlin {
namespace {

// Whole characters only: a letter of two or four bytes across the limit is left out whole.
TEST(LaidOutText, ALongTextIsCutBeforeTheCharacterAtTheLimit) {
    const std::size_t limit = laidOutTextLimit;
    const std::string x(limit - 2, 'x');
    for (const auto& [text, kept] : std::vector<std::pair<std::string, std::size_t>>{
             {"short", 5}, {x + "yy", limit}, {x + "yyy", limit}, {x + "yé", limit - 1}, {x + "😀", limit - 2}})
        EXPECT_EQ(laidOutPart(text).size(), kept) << text.size();
}

} // namespace
} // namespace tavlin
