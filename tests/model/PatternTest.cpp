#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/Pattern.h"
#include "platform/base/Diagnostics.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using Kind = Pattern::Kind;

Kind keys(std::vector<std::int64_t> codes) { return Kind::key{std::move(codes)}; }
Kind message(std::string regex) { return Kind::message{std::move(regex)}; }
Kind always() { return Kind::alwaysMatch{}; }

std::size_t emptyLineCount(const diag::Capture& capture) {
    std::size_t count = 0;
    for (const auto& line : capture.lines()) {
        EXPECT_EQ(line, "");
        ++count;
    }
    return count;
}

TEST(PatternJson, Forms) {
    EXPECT_EQ(Pattern(keys({0}), "go").toJson(), test::parsed(R"({"key":{"allowedKeyCodes":[0]},"description":"go"})"));
    EXPECT_EQ(Pattern(always()).toJson(), test::parsed(R"({"alwaysMatch":{}})"));
    EXPECT_EQ(Pattern(message("^a.*$")).toJson(), test::parsed(R"({"message":{"regex":"^a.*$"}})"));
    EXPECT_EQ(Pattern(keys({})).toJson(), test::parsed(R"({"key":{"allowedKeyCodes":[]}})"));
    // An empty note is a note.
    EXPECT_EQ(Pattern(always(), "").toJson(), test::parsed(R"({"alwaysMatch":{},"description":""})"));
}

TEST(PatternJson, RoundTripKeepsKindAndNoteButNotTheIdentifier) {
    for (const Pattern& original :
         {Pattern(keys({0, 11, 0}), "both"), Pattern(keys({})), Pattern(message("\"x\"/\\d+ é")), Pattern(always(), "last")}) {
        const std::string text = json::encode(original.toJson());
        const Pattern decoded = decode<Pattern>(text);
        EXPECT_EQ(decoded.kind, original.kind) << text;
        EXPECT_EQ(decoded.patternDescription, original.patternDescription) << text;
        EXPECT_NE(decoded.id, original.id);
        EXPECT_EQ(json::encode(decoded.toJson()), text);
    }
}

// Key codes are 64-bit integers in the format: a code no key has is kept whole, shown as
// unknown and placed like any key the table cannot place (never as the key its low bits name).
TEST(PatternJson, KeyCodesBeyond32BitsAreKeptWhole) {
    const char* text = R"({"key":{"allowedKeyCodes":[4294967296,0]}})";
    const Pattern pattern = decode<Pattern>(text);
    EXPECT_EQ(pattern.kind, keys({4294967296, 0}));
    EXPECT_EQ(pattern.toJson(), test::parsed(text));
    EXPECT_EQ(Pattern(keys({4294967296})).kind.description(), "Key: Unknow(4294967296)");
    diag::Capture capture;
    EXPECT_FALSE(keys({4294967296}) < keys({11}));
    EXPECT_EQ(emptyLineCount(capture), 1u);
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<Pattern>(R"({"key":{"allowedKeyCodes":[9223372036854775808]}})"); }),
                        DecodingError::Kind::dataCorrupted));
}

TEST(PatternJson, IgnoresIdKindAndUnknownMembers) {
    const Pattern pattern = decode<Pattern>(
        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","kind":"message","key":{"allowedKeyCodes":[0],"other":1},"description":"go"})");
    EXPECT_EQ(pattern.kind, keys({0}));
    EXPECT_EQ(pattern.patternDescription, "go");
    EXPECT_NE(pattern.id.string(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(decode<Pattern>(R"({"alwaysMatch":{"anything":[1,2,3]}})").kind, always());
    // A null note is no note.
    EXPECT_EQ(decode<Pattern>(R"({"alwaysMatch":{},"description":null})").patternDescription, std::nullopt);
}

TEST(PatternJson, DecodingTwiceGivesUnequalPatternsWithEqualKinds) {
    const char* text = R"({"message":{"regex":"a"}})";
    const Pattern first = decode<Pattern>(text);
    const Pattern second = decode<Pattern>(text);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.kind, second.kind);
}

TEST(PatternJson, NeedsExactlyOneCaseKey) {
    for (const char* text : {R"({"key":{"allowedKeyCodes":[0]},"message":{"regex":"a"}})", R"({"description":"go"})", R"({})",
                             R"({"alwaysMatch":{},"message":{"regex":"a"},"key":{"allowedKeyCodes":[]}})"}) {
        EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([&] { decode<Pattern>(text); }), "Pattern.Kind")) << text;
    }
}

TEST(PatternJson, RefusesMalformedPayloads) {
    const auto noCodes = decodingErrorOf([] { decode<Pattern>(R"({"key":{}})"); });
    ASSERT_TRUE(hasKind(noCodes, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noCodes->key(), "allowedKeyCodes");
    const auto noRegex = decodingErrorOf([] { decode<Pattern>(R"({"message":{"text":"a"}})"); });
    ASSERT_TRUE(hasKind(noRegex, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noRegex->key(), "regex");
    for (const char* text : {
             R"({"key":5})",
             R"({"alwaysMatch":true})",
             R"({"message":"a"})",
             R"({"key":{"allowedKeyCodes":0}})",
             R"({"key":{"allowedKeyCodes":["0"]}})",
             R"({"message":{"regex":1}})",
             R"({"alwaysMatch":{},"description":1})",
             "[]",
         }) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Pattern>(text); }), DecodingError::Kind::typeMismatch)) << text;
    }
    EXPECT_TRUE(decodingErrorOf([] { decode<Pattern>(R"({"alwaysMatch":null})"); }));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<Pattern>(R"({"key":{"allowedKeyCodes":[0.5]}})"); }),
                        DecodingError::Kind::dataCorrupted));
}

TEST(PatternText, DisplayTexts) {
    EXPECT_EQ(keys({}).description(), "Key: []");
    EXPECT_EQ(keys({49}).description(), "Key: Space");
    EXPECT_EQ(keys({0}).description(), "Key: A");
    EXPECT_EQ(keys({10}).description(), "Key: Unknow(10)");
    EXPECT_EQ(keys({0, 11}).description(), R"(Key: ["A", "B"])");
    EXPECT_EQ(keys({11, 0, 49}).description(), R"(Key: ["B", "A", "Space"])");
    // Names inside the list are quoted texts with escapes.
    EXPECT_EQ(keys({42, 39}).description(), R"(Key: ["\\", "'"])");
    EXPECT_EQ(message("^a\"b$").description(), R"(Message (regex: "^a"b$"))");
    EXPECT_EQ(message("").description(), R"(Message (regex: ""))");
    EXPECT_EQ(always().description(), "Always match");
}

// A message that is exactly a leader key's key-code text reads as that key; any other expression,
// even one close to it, reads as its description.
TEST(PatternText, ShownTextsAndHintLabels) {
    struct Case {
        Kind kind;
        std::string shown;
        std::string hint;
    };
    const std::string near = "Message (regex: \"040\\(256\\)\")";
    const Case cases[] = {
        {message("\\(55\\)"), "Leader Key: Super", "Super:"},
        {message("40\\(4352\\)"), "Leader Key: Super+Ctrl+K", "Super+Ctrl+K:"},
        {message("040\\(256\\)"), near, near + ":"},
        {message("(55)"), "Message (regex: \"(55)\")", "Message (regex: \"(55)\"):"},
        {keys({17}), "Key: T", "T:"},
        {keys({0, 11}), "Key: [\"A\", \"B\"]", "A, B:"},
        {always(), "Always match", "Always match:"},
    };
    for (const auto& [kind, shown, hint] : cases) {
        EXPECT_EQ(kind.shownText(), shown);
        EXPECT_EQ(kind.hintLabel(), hint);
    }
}

TEST(PatternText, QuotedTextEscapes) {
    EXPECT_EQ(quotedText("A"), R"("A")");
    EXPECT_EQ(quotedText(""), R"("")");
    EXPECT_EQ(quotedText("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(quotedText("\n\t\r"), R"("\n\t\r")");
    const std::string escapedControl = quotedText(std::string("\x01", 1));
    EXPECT_EQ(escapedControl.find('\x01'), std::string::npos);
    EXPECT_EQ(escapedControl.front(), '"');
    EXPECT_EQ(escapedControl[1], '\\');
    EXPECT_EQ(quotedText("é ✓"), "\"é ✓\"");
}

TEST(PatternOrder, KeysThenMessagesThenAlwaysMatch) {
    diag::Capture capture;
    EXPECT_TRUE(keys({0}) < message("a"));
    EXPECT_TRUE(keys({}) < message("a")); // placing against another kind needs no position
    EXPECT_TRUE(keys({49}) < always());
    EXPECT_FALSE(message("a") < keys({0}));
    EXPECT_FALSE(message("a") < keys({}));
    EXPECT_TRUE(message("z") < always());
    EXPECT_FALSE(always() < message("a"));
    EXPECT_FALSE(always() < keys({0}));
    EXPECT_FALSE(always() < always());
    EXPECT_TRUE(capture.lines().empty());
}

TEST(PatternOrder, KeyPatternsByPositionOfTheirFirstCode) {
    diag::Capture capture;
    EXPECT_TRUE(keys({0}) < keys({11})); // A before B
    EXPECT_FALSE(keys({11}) < keys({0}));
    EXPECT_TRUE(keys({6}) < keys({29}));         // Z before the digit 0
    EXPECT_TRUE(keys({0, 126}) < keys({11, 0})); // only the first codes count
    EXPECT_FALSE(keys({0}) < keys({0, 11}));     // equal positions tie
    EXPECT_FALSE(keys({0, 11}) < keys({0}));
    EXPECT_TRUE(capture.lines().empty());
}

TEST(PatternOrder, KeyPatternThatCannotBePlacedPrintsAnEmptyLineEachTime) {
    diag::Capture capture;
    EXPECT_FALSE(keys({}) < keys({0}));
    EXPECT_FALSE(keys({0}) < keys({}));
    EXPECT_FALSE(keys({}) < keys({}));
    EXPECT_EQ(emptyLineCount(capture), 3u);

    capture.clear();
    // Space and Escape are not among the sorted keys.
    EXPECT_FALSE(keys({49}) < keys({0}));
    EXPECT_FALSE(keys({0}) < keys({53}));
    EXPECT_FALSE(keys({49, 0}) < keys({53}));
    EXPECT_FALSE(keys({10}) < keys({11}));
    EXPECT_EQ(emptyLineCount(capture), 4u);
}

TEST(PatternOrder, MessagesByCanonicalTextOrder) {
    EXPECT_TRUE(message("a") < message("b"));
    EXPECT_FALSE(message("b") < message("a"));
    EXPECT_FALSE(message("a") < message("a"));
    EXPECT_TRUE(message("B") < message("a")); // by scalar value, not by case-insensitive rules
    EXPECT_TRUE(message("ab") < message("abc"));
    // The composed and the decomposed é are the same text; é (U+00E9) orders after f.
    EXPECT_FALSE(message("\u00E9") < message("e\u0301"));
    EXPECT_FALSE(message("e\u0301") < message("\u00E9"));
    EXPECT_FALSE(message("e\u0301") < message("f"));
    EXPECT_TRUE(message("f") < message("e\u0301"));
}

TEST(PatternEquality, KindsAndPatterns) {
    EXPECT_EQ(keys({0, 1}), keys({0, 1}));
    EXPECT_NE(keys({0, 1}), keys({1, 0}));
    EXPECT_NE(keys({0}), keys({0, 0}));
    EXPECT_NE(keys({}), always());
    EXPECT_NE(message("a"), message("b"));
    EXPECT_EQ(always(), always());

    const Pattern pattern(keys({0}), "note");
    Pattern copy = pattern;
    EXPECT_EQ(copy, pattern);
    copy.patternDescription = std::nullopt;
    EXPECT_NE(copy, pattern);
    EXPECT_NE(Pattern(keys({0}), "note"), pattern); // a new identifier
}

TEST(PatternEquality, HashAgreesWithEquality) {
    EXPECT_EQ(test::hashOf(keys({0, 1})), test::hashOf(keys({0, 1})));
    EXPECT_NE(test::hashOf(keys({0, 1})), test::hashOf(keys({1, 0})));
    EXPECT_NE(test::hashOf(keys({})), test::hashOf(always()));
    EXPECT_NE(test::hashOf(message("a")), test::hashOf(message("b")));

    const Pattern pattern(message("x"), "note");
    Pattern copy = pattern;
    EXPECT_EQ(test::hashOf(copy), test::hashOf(pattern));
    copy.patternDescription = std::nullopt;
    EXPECT_NE(test::hashOf(copy), test::hashOf(pattern));
    Pattern emptyNote = copy;
    emptyNote.patternDescription = "";
    EXPECT_NE(test::hashOf(emptyNote), test::hashOf(copy));
    EXPECT_NE(test::hashOf(Pattern(message("x"), "note")), test::hashOf(pattern)); // the identifier counts
}

TEST(PatternConfiguration, KindsAndEquality) {
    using C = Pattern::ConfigurationKind;
    std::vector<std::string_view> raw;
    for (const auto kind : allPatternConfigurationKinds) raw.push_back(rawValue(kind));
    EXPECT_EQ(raw, (std::vector<std::string_view>{"key", "message", "alwaysMatch"}));
    EXPECT_EQ(configurationKind(keys({})), C::key);
    EXPECT_EQ(configurationKind(message("a")), C::message);
    EXPECT_EQ(configurationKind(always()), C::alwaysMatch);

    EXPECT_EQ((PatternConfigurability{.readOnly = true, .configurationKind = C::key}),
              (PatternConfigurability{.readOnly = true, .configurationKind = C::message}));
    EXPECT_NE((PatternConfigurability{.readOnly = false, .configurationKind = C::key}),
              (PatternConfigurability{.readOnly = false, .configurationKind = C::message}));
    EXPECT_NE((PatternConfigurability{.readOnly = true}), (PatternConfigurability{.readOnly = false}));
}

} // namespace
} // namespace tavlin
