#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/Unicode.h"

namespace tavlin::unicode {
namespace {

const std::string eComposed = "\xC3\xA9";    // U+00E9
const std::string eDecomposed = "e\xCC\x81"; // e + U+0301

TEST(Unicode, LettersAreLettersAndMarksOnly) {
    for (const char32_t c : {U'a', U'Z', U'é', U'ß', U'Ж', U'日', U'\u0301', U'\u093F'}) {
        EXPECT_TRUE(isLetter(c)) << static_cast<std::uint32_t>(c);
    }
    for (const char32_t c : {U'1', U'٣', U' ', U'.', U'-', U'_', U'€', U'\n', U'\U0001F600', U'\0'}) {
        EXPECT_FALSE(isLetter(c)) << static_cast<std::uint32_t>(c);
    }
}

TEST(Unicode, FirstScalarDecodesOneCodePoint) {
    EXPECT_EQ(firstScalar(""), 0u);
    EXPECT_EQ(firstScalar("abc"), U'a');
    EXPECT_EQ(firstScalar(eComposed + "x"), U'é');
    EXPECT_EQ(firstScalar("😀"), U'\U0001F600');
    EXPECT_EQ(firstScalar("\xFF"
                          "a"),
              U'\uFFFD');
}

TEST(Unicode, CharacterCountCountsUserPerceivedCharacters) {
    EXPECT_EQ(characterCount(""), 0u);
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("a\r\nb"), 3u);
    EXPECT_EQ(characterCount("\r\r\n\n"), 3u);
    EXPECT_EQ(characterCount(eDecomposed), 1u);
    EXPECT_EQ(characterCount(eDecomposed + eComposed + "x"), 3u);
    EXPECT_EQ(characterCount("e\xCC\x81\xCC\xA3"), 1u);         // two combining marks
    EXPECT_EQ(characterCount("👩‍👩‍👧‍👦"), 1u); // ZWJ family
    EXPECT_EQ(characterCount("👍🏽"), 1u);                  // skin-tone modifier
    EXPECT_EQ(characterCount("🇫🇷🇩🇪"), 2u);                      // two flags
    EXPECT_EQ(characterCount("한국어"), 3u);
}

TEST(Unicode, SingleLetterIsOneCharacterStartingWithALetter) {
    for (const std::string& text :
         {std::string("a"), std::string("Q"), eComposed, eDecomposed, std::string("ß"), std::string("日")}) {
        EXPECT_TRUE(isSingleLetter(text)) << text;
    }
    for (const std::string& text : {std::string(""), std::string("1"), std::string("AB"), std::string(" "), std::string("."),
                                    eComposed + "e", std::string("😀")}) {
        EXPECT_FALSE(isSingleLetter(text)) << text;
    }
}

TEST(Unicode, UppercasingFollowsFullCaseMapping) {
    EXPECT_EQ(uppercased("ß"), "SS");
    EXPECT_EQ(uppercased("straße"), "STRASSE");
    EXPECT_EQ(uppercased("é"), "É");
    EXPECT_EQ(uppercased("abc1-"), "ABC1-");
    EXPECT_EQ(uppercased("i"), "I"); // no Turkish dotted capital
    EXPECT_EQ(uppercased(""), "");
}

// ASCII text takes a shorter way than the rest: the results must not tell them apart.
TEST(Unicode, AsciiCaseMappingAgreesWithTheFullMapping) {
    std::string ascii;
    for (int c = 0; c < 0x80; ++c) ascii += static_cast<char>(c);
    EXPECT_EQ(uppercased(ascii) + "É", uppercased(ascii + "é"));
    EXPECT_EQ(lowercased(ascii) + "é", lowercased(ascii + "É"));
    EXPECT_EQ(lowercased("ABC1-Z"), "abc1-z");
}

TEST(Unicode, CanonicalOrderIgnoresNormalizationForm) {
    EXPECT_TRUE(canonicallyEqual(eComposed, eDecomposed));
    EXPECT_FALSE(canonicalLess(eComposed, eDecomposed));
    EXPECT_FALSE(canonicalLess(eDecomposed, eComposed));
    EXPECT_TRUE(canonicallyEqual("Å", "A\xCC\x8A"));
    EXPECT_TRUE(canonicallyEqual("\xE2\x84\xAB", "Å")); // ANGSTROM SIGN is canonically Å
    EXPECT_FALSE(canonicallyEqual("a", "A"));
    EXPECT_FALSE(canonicallyEqual(eComposed, "e"));
    EXPECT_TRUE(canonicallyEqual("", ""));
}

TEST(Unicode, CanonicalOrderIsByScalarValues) {
    EXPECT_TRUE(canonicalLess("Z", "a"));
    EXPECT_FALSE(canonicalLess("a", "Z"));
    EXPECT_TRUE(canonicalLess("", "a"));
    EXPECT_TRUE(canonicalLess("a", "ab"));
    EXPECT_TRUE(canonicalLess("z", eComposed)); // U+007A < U+00E9
    // Decomposed é starts with "e" but sorts as U+00E9, after "f".
    EXPECT_TRUE(canonicalLess("f", eDecomposed));
    EXPECT_FALSE(canonicalLess(eDecomposed, "f"));
    EXPECT_TRUE(canonicalLess("\xEF\xBF\xBD", "😀")); // U+FFFD < U+1F600, as in UTF-8 and unlike UTF-16
    EXPECT_TRUE(canonicalLess("\xEE\x80\x80", "😀")); // U+E000 < U+1F600

    std::vector<std::string> texts{"b", eDecomposed, "B", "a", "f", "😀", "Z"};
    std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return canonicalLess(a, b); });
    EXPECT_EQ(texts, (std::vector<std::string>{"B", "Z", "a", "b", "f", eDecomposed, "😀"}));
}

TEST(Unicode, ValidatesAndRepairsUtf8) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("é日😀\xEF\xBF\xBF")); // U+FFFF is a noncharacter, still valid
    EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
    for (const char* bad : {"\x80", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xE6\x97", "\xFE", "a\xFF"}) {
        EXPECT_FALSE(isValidUtf8(bad)) << testing::PrintToString(std::string(bad));
        const std::string repaired = makeValidUtf8(bad);
        EXPECT_TRUE(isValidUtf8(repaired));
        EXPECT_NE(repaired.find("\xEF\xBF\xBD"), std::string::npos);
    }
    EXPECT_EQ(makeValidUtf8("é\xFFx"), "é\xEF\xBF\xBDx");
    EXPECT_EQ(makeValidUtf8("a\xE6\x97"), "a\xEF\xBF\xBD");
    EXPECT_EQ(makeValidUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(makeValidUtf8("日本"), "日本");
}

TEST(Unicode, ConvertsToAndFromUtf16) {
    EXPECT_EQ(toUtf16("a😀é"), u"a😀é");
    EXPECT_EQ(fromUtf16(u"a😀é"), "a😀é");
    EXPECT_EQ(toUtf16(""), u"");
    EXPECT_EQ(fromUtf16(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

} // namespace
} // namespace tavlin::unicode
