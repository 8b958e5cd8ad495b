#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/Configuration.h"
#include "model/LeaderKeyPreview.h"

namespace tavlin {
namespace {

using Combinations = std::vector<LeaderKeyCombination>;

TEST(LeaderKeyPreviewTest, readsTheCombinationsOurWriterPutsFirst) {
    const Configuration configuration(
        "flat_rows",
        {HotKey::combo(17, 0x1800), HotKey::singleModifier(HotKey::SingleTapModifier::shift), HotKey::combo(0, 0x100)},
        Decision::example());
    EXPECT_EQ(previewLeaderKeyCombinations(configuration.encodedText()), (Combinations{{17, 0x1800}, {0, 0x100}}));
}

TEST(LeaderKeyPreviewTest, answersOnlyForAWholeReadableHotKeysArray) {
    const std::string combo = R"({"combo": {"info": {"keyCode": 5, "modifiersCode": 256}}})";
    const struct {
        const char* name;
        std::string text;
        std::optional<Combinations> expected;
    } cases[] = {
        {"none", R"({"hotKeys": [], "decision": {}})", Combinations{}},
        {"older format", R"({"hotKeys": [{"keyCode": 3, "modifiersCode": 4096}], "decision": {}})", Combinations{{3, 4096}}},
        {"after the tree", R"({"decision": {"hotKeys": [1]}, "hotKeys": [)" + combo + "]}", Combinations{{5, 256}}},
        // What follows the array is never read.
        {"broken after", R"({"hotKeys": [)" + combo + R"(], "decision": {{{)", Combinations{{5, 256}}},
        {"cut inside", R"({"hotKeys": [)" + combo, std::nullopt},
        {"missing", R"({"decision": {}})", std::nullopt},
        {"not an array", R"({"hotKeys": {"combo": 1}})", std::nullopt},
        {"element not an object", R"({"hotKeys": [[5, 256]]})", std::nullopt},
        {"negative code", R"({"hotKeys": [{"combo": {"info": {"keyCode": -1, "modifiersCode": 256}}}]})", std::nullopt},
        {"code too large", R"({"hotKeys": [{"keyCode": 4294967296, "modifiersCode": 256}]})", std::nullopt},
        {"code as text", R"({"hotKeys": [{"combo": {"info": {"keyCode": "5", "modifiersCode": 256}}}]})", std::nullopt},
        {"root is an array", R"([{"hotKeys": []}])", std::nullopt},
        {"not JSON", "hotKeys", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(previewLeaderKeyCombinations(c.text), c.expected);
    }
}

} // namespace
} // namespace tavlin
