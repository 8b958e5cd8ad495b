#include <algorithm>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/HotKey.h"
#include "model/KeyNames.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using M = HotKey::SingleTapModifier;

TEST(HotKey, KeyCodeText) {
    EXPECT_EQ(HotKey::combo(0, carbon::command).keyCodeText(), "0(256)");
    EXPECT_EQ(HotKey::combo(122, carbon::control | carbon::shift).keyCodeText(), "122(4608)");
    EXPECT_EQ(HotKey::combo(4294967295u, 4294967295u).keyCodeText(), "4294967295(4294967295)");
    EXPECT_EQ(HotKey::singleModifier(M::command).keyCodeText(), "(55)");
    EXPECT_EQ(HotKey::singleModifier(M::shift).keyCodeText(), "(56)");
    EXPECT_EQ(HotKey::singleModifier(M::option).keyCodeText(), "(58)");
    EXPECT_EQ(HotKey::singleModifier(M::control).keyCodeText(), "(59)");
}

TEST(HotKey, SingleTapModifierRawValues) {
    EXPECT_EQ(std::vector<M>(std::begin(allSingleTapModifiers), std::end(allSingleTapModifiers)),
              (std::vector<M>{M::command, M::shift, M::option, M::control}));
    EXPECT_EQ(rawValue(M::command), "⌘");
    EXPECT_EQ(rawValue(M::shift), "⇧");
    EXPECT_EQ(rawValue(M::option), "⌥");
    EXPECT_EQ(rawValue(M::control), "⌃");
    for (const auto modifier : allSingleTapModifiers) EXPECT_EQ(singleTapModifierFromRawValue(rawValue(modifier)), modifier);
    EXPECT_EQ(singleTapModifierFromRawValue("command"), std::nullopt);
    EXPECT_EQ(singleTapModifierFromRawValue(""), std::nullopt);
    EXPECT_EQ(singleTapModifierFromRawValue("⌘⌘"), std::nullopt);
}

TEST(HotKey, JsonForms) {
    EXPECT_EQ(HotKey::combo(0, 256).toJson(), test::parsed(R"({"combo":{"info":{"keyCode":0,"modifiersCode":256}}})"));
    EXPECT_EQ(HotKey::singleModifier(M::option).toJson(),
              test::parsed(R"({"singleModifier":{"info":{"singleTapModifier":"⌥"}}})"));
    for (const HotKey& hotKey : {HotKey::combo(0, 256), HotKey::combo(4294967295u, 0), HotKey::singleModifier(M::control)}) {
        EXPECT_EQ(decode<HotKey>(json::encode(hotKey.toJson())), hotKey) << hotKey.keyCodeText();
    }
    // Unknown members at every level are ignored.
    EXPECT_EQ(decode<HotKey>(R"({"x":1,"combo":{"y":2,"info":{"keyCode":3,"modifiersCode":512,"z":3}}})"), HotKey::combo(3, 512));
}

TEST(HotKey, DecodingNeedsExactlyOneCase) {
    for (const char* text : {
             R"({"combo":{"info":{"keyCode":0,"modifiersCode":256}},"singleModifier":{"info":{"singleTapModifier":"⌘"}}})",
             R"({"keyCode":0,"modifiersCode":256})", // the older stored form
             R"({})",
         }) {
        EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([&] { decode<HotKey>(text); }), "Configuration.HotKey")) << text;
    }
}

TEST(HotKey, DecodingRefusesBadPayloads) {
    EXPECT_EQ(decode<HotKey>(R"({"singleModifier":{"info":{"singleTapModifier":"⌘"}}})"), HotKey::singleModifier(M::command));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<HotKey>(R"({"singleModifier":{"info":{"singleTapModifier":"command"}}})"); }),
                        DecodingError::Kind::dataCorrupted));
    const auto noInfo = decodingErrorOf([] { decode<HotKey>(R"({"combo":{"keyCode":0,"modifiersCode":256}})"); });
    ASSERT_TRUE(hasKind(noInfo, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noInfo->key(), "info");
    const auto noMask = decodingErrorOf([] { decode<HotKey>(R"({"combo":{"info":{"keyCode":0}}})"); });
    ASSERT_TRUE(hasKind(noMask, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noMask->key(), "modifiersCode");
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<HotKey>(R"({"combo":{"info":{"keyCode":"0","modifiersCode":0}}})"); }),
                        DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<HotKey>(R"({"combo":{"info":5}})"); }), DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<HotKey>(R"({"combo":[]})"); }), DecodingError::Kind::typeMismatch));
}

TEST(HotKey, CodesMustFitThirtyTwoUnsignedBits) {
    EXPECT_EQ(decode<HotKey>(R"({"combo":{"info":{"keyCode":4294967295,"modifiersCode":4294967295}}})"),
              HotKey::combo(4294967295u, 4294967295u));
    for (const char* text : {
             R"({"combo":{"info":{"keyCode":4294967296,"modifiersCode":0}}})",
             R"({"combo":{"info":{"keyCode":0,"modifiersCode":18446744073709551616}}})",
             R"({"combo":{"info":{"keyCode":-1,"modifiersCode":0}}})",
             R"({"combo":{"info":{"keyCode":1.5,"modifiersCode":0}}})",
         }) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<HotKey>(text); }), DecodingError::Kind::dataCorrupted)) << text;
    }
}

TEST(HotKey, Order) {
    const std::vector<HotKey> expected{
        HotKey::combo(5, 0),
        HotKey::combo(0, 256),
        HotKey::combo(11, 256),
        HotKey::combo(0, 0x80000000u), // unsigned: the top bit is the largest mask
        HotKey::singleModifier(M::command),
        HotKey::singleModifier(M::shift),
        HotKey::singleModifier(M::option),
        HotKey::singleModifier(M::control),
    };
    std::vector<HotKey> shuffled{expected[6], expected[3], expected[7], expected[1],
                                 expected[4], expected[0], expected[5], expected[2]};
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, expected);
    EXPECT_FALSE(HotKey::combo(1, 2) < HotKey::combo(1, 2));
    EXPECT_FALSE(HotKey::singleModifier(M::shift) < HotKey::singleModifier(M::shift));
    EXPECT_TRUE(HotKey::combo(4294967295u, 4294967295u) < HotKey::singleModifier(M::command));
}

TEST(HotKey, EqualityAndHash) {
    EXPECT_EQ(HotKey::combo(1, 256), HotKey::combo(1, 256));
    EXPECT_NE(HotKey::combo(1, 256), HotKey::combo(256, 1));
    EXPECT_NE(HotKey::singleModifier(M::command), HotKey::singleModifier(M::control));
    EXPECT_EQ(test::hashOf(HotKey::combo(1, 256)), test::hashOf(HotKey::combo(1, 256)));
    EXPECT_NE(test::hashOf(HotKey::combo(1, 256)), test::hashOf(HotKey::combo(256, 1)));
    EXPECT_EQ(test::hashOf(HotKey::singleModifier(M::option)), test::hashOf(HotKey::singleModifier(M::option)));
    EXPECT_NE(test::hashOf(HotKey::singleModifier(M::option)), test::hashOf(HotKey::singleModifier(M::shift)));
}

} // namespace
} // namespace tavlin
