#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/base/Diagnostics.h"
#include "platform/text/Regex.h"

namespace tavlin {
namespace {

Regex compiled(std::string_view pattern) {
    std::string error;
    auto regex = Regex::compile(pattern, &error);
    EXPECT_TRUE(regex) << pattern << ": " << error;
    return regex ? *regex : *Regex::compile("");
}

TEST(Regex, CompileFailureGivesNothingAndAReason) {
    for (const char* pattern : {"(", "a)", "[a-", "*a", "a{2,1}", "\\", "(?<name"}) {
        std::string error;
        EXPECT_FALSE(Regex::compile(pattern, &error)) << pattern;
        EXPECT_FALSE(error.empty()) << pattern;
        EXPECT_NE(error.find(pattern), std::string::npos) << error;
    }
    EXPECT_FALSE(Regex::compile("(")); // no error text wanted
    // For people, the reason in words: never the compiler's code.
    std::string reason;
    EXPECT_FALSE(Regex::compile("(open", nullptr, &reason));
    EXPECT_EQ(reason, "a parenthesis is not closed");
    for (const char* pattern : {"[a", "*a", "a{2,1}", "\\", "\\N{no such name}"}) {
        EXPECT_FALSE(Regex::compile(pattern, nullptr, &reason));
        EXPECT_FALSE(reason.empty() || reason.find("U_") != std::string::npos) << pattern << ": " << reason;
    }
    std::string untouched = "kept";
    EXPECT_TRUE(Regex::compile("a+", &untouched));
    EXPECT_EQ(compiled("a+").pattern(), "a+");
}

TEST(Regex, FirstMatchGivesUtf16Ranges) {
    const Regex regex = compiled("b+");
    EXPECT_EQ(regex.firstMatch("abbc"), (Regex::Range{1, 2}));
    EXPECT_FALSE(regex.firstMatch("xyz"));
    EXPECT_FALSE(regex.firstMatch(""));
    // "😀" is two UTF-16 units (four UTF-8 bytes), "é" one unit (two bytes).
    EXPECT_EQ(regex.firstMatch("😀ébb"), (Regex::Range{3, 2}));
    EXPECT_EQ(compiled("😀").firstMatch("a😀"), (Regex::Range{1, 2}));
    EXPECT_EQ(compiled(".").firstMatch("😀"), (Regex::Range{0, 2}));
    // The first of several matches.
    EXPECT_EQ(compiled("\\d+").firstMatch("a12b345"), (Regex::Range{1, 2}));
}

TEST(Regex, FirstMatchMustSpanTheWholeText) {
    EXPECT_TRUE(compiled("ab|a").firstMatchSpansWholeText("ab"));
    // The first match is "a"; a longer alternative that would span the text does not count.
    EXPECT_FALSE(compiled("a|ab").firstMatchSpansWholeText("ab"));
    EXPECT_FALSE(compiled("b").firstMatchSpansWholeText("ab"));
    EXPECT_FALSE(compiled("a").firstMatchSpansWholeText("ab"));
    EXPECT_FALSE(compiled("a*").firstMatchSpansWholeText("ba")); // first match is empty, at 0
    EXPECT_TRUE(compiled("").firstMatchSpansWholeText(""));
    EXPECT_FALSE(compiled("").firstMatchSpansWholeText("a"));
    EXPECT_TRUE(compiled("a*").firstMatchSpansWholeText(""));
    EXPECT_FALSE(compiled("a+").firstMatchSpansWholeText(""));
    EXPECT_TRUE(compiled("😀.").firstMatchSpansWholeText("😀é"));
}

TEST(Regex, EscapedPatternMatchesTheTextLiterally) {
    const std::string nasty = "/usr/bin/a+b (x)[1]{2}^$|.*?\\";
    const std::string escaped = Regex::escapedPattern(nasty);
    const Regex regex = compiled(escaped);
    EXPECT_TRUE(regex.firstMatchSpansWholeText(nasty));
    for (const char* variant : {"/usr/bin/aab (x)[1]{2}^$|.*?\\", "/usr/bin/a+b x[1]{2}^$|.*?\\", "/usr/bin/a+b (x)1{2}^$|.*?\\",
                                "/usr/bin/a+b (x)[1]22^$|.*?\\", "/usr/bin/a+b (x)[1]{2}^$|.*?", "/usr/bin/a+b (x)[1]{2}^$|x*?\\",
                                "/usr/bin/a+b (x)[1]{2}^$|.\\"}) {
        EXPECT_FALSE(regex.firstMatchSpansWholeText(variant)) << variant;
    }
    // Every ASCII punctuation character and some non-ASCII text survive on their own too.
    for (char c = 0x21; c < 0x7F; ++c) {
        if (std::isalnum(static_cast<unsigned char>(c))) continue;
        const std::string text(1, c);
        const auto single = Regex::compile(Regex::escapedPattern(text));
        ASSERT_TRUE(single) << text;
        EXPECT_TRUE(single->firstMatchSpansWholeText(text)) << text;
        EXPECT_FALSE(single->firstMatch("x")) << text;
    }
    const std::string mixed = "é 😀 #-,\t";
    EXPECT_TRUE(compiled(Regex::escapedPattern(mixed)).firstMatchSpansWholeText(mixed));
    EXPECT_TRUE(compiled(Regex::escapedPattern("")).firstMatchSpansWholeText(""));
}

TEST(Regex, CopiesShareThePattern) {
    const Regex original = compiled("x(y)");
    const Regex copy = original;
    EXPECT_EQ(copy.pattern(), "x(y)");
    EXPECT_EQ(copy.firstMatch("axy"), original.firstMatch("axy"));
}

} // namespace
} // namespace tavlin

TEST(Regex, CatastrophicBacktrackingGivesUpAsNoMatch) {
    tavlin::diag::Capture capture;
    const auto regex = tavlin::Regex::compile("(a+)+$");
    ASSERT_TRUE(regex);
    const std::string text = std::string(40, 'a') + "b";
    EXPECT_FALSE(regex->firstMatch(text));
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_NE(capture.lines()[0].find("time limit"), std::string::npos);
}
