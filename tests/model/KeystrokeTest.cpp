#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/Keystroke.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;

TEST(Keystroke, Description) {
    EXPECT_EQ((Keystroke{.mainKeyCode = 0, .cmd = true, .shift = true}.description()), "⌘ ⇧ A");
    EXPECT_EQ((Keystroke{.mainKeyCode = 11, .cmd = true, .shift = true, .option = true, .control = true}.description()),
              "⌘ ⇧ ⌥ ⌃ B");
    EXPECT_EQ((Keystroke{.mainKeyCode = 14, .control = true}.description()), "⌃ E");
    // Only the name table counts: Space and unknown keys show their code.
    EXPECT_EQ(Keystroke{.mainKeyCode = 49}.description(), "49");
    EXPECT_EQ((Keystroke{.mainKeyCode = 10, .option = true}.description()), "⌥ 10");
    EXPECT_EQ(Keystroke{.mainKeyCode = 53}.description(), "Escape");
}

TEST(Keystroke, JsonFormAndRoundTrip) {
    const Keystroke keystroke{.mainKeyCode = 122, .cmd = true, .shift = false, .option = true, .control = false};
    EXPECT_EQ(keystroke.toJson(), test::parsed(R"({"mainKeyCode":122,"cmd":true,"shift":false,"option":true,"control":false})"));
    EXPECT_EQ(decode<Keystroke>(json::encode(keystroke.toJson())), keystroke);
    // Other members are ignored.
    EXPECT_EQ(decode<Keystroke>(R"({"control":false,"option":true,"shift":false,"cmd":true,"mainKeyCode":122,"x":1})"),
              keystroke);
}

TEST(Keystroke, DecodingRequiresAllFiveMembersOfTheirTypes) {
    const auto missingControl = decodingErrorOf(
        [] { decode<Keystroke>(R"({"mainKeyCode":0,"cmd":true,"shift":false,"option":false})"); });
    ASSERT_TRUE(hasKind(missingControl, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(missingControl->key(), "control");
    EXPECT_TRUE(hasKind(decodingErrorOf([] {
                            decode<Keystroke>(R"({"mainKeyCode":"0","cmd":true,"shift":false,"option":false,"control":false})");
                        }),
                        DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(
        decodingErrorOf([] { decode<Keystroke>(R"({"mainKeyCode":0,"cmd":1,"shift":false,"option":false,"control":false})"); }),
        DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(decodingErrorOf([] {
                            decode<Keystroke>(R"({"mainKeyCode":0,"cmd":null,"shift":false,"option":false,"control":false})");
                        }),
                        DecodingError::Kind::valueNotFound));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<Keystroke>("[]"); }), DecodingError::Kind::typeMismatch));
}

TEST(Keystroke, EqualityAndHashCoverEveryField) {
    const Keystroke base{.mainKeyCode = 1};
    EXPECT_EQ(base, (Keystroke{.mainKeyCode = 1}));
    EXPECT_EQ(test::hashOf(base), test::hashOf(Keystroke{.mainKeyCode = 1}));
    for (const Keystroke other :
         {Keystroke{.mainKeyCode = 2}, Keystroke{.mainKeyCode = 1, .cmd = true}, Keystroke{.mainKeyCode = 1, .shift = true},
          Keystroke{.mainKeyCode = 1, .option = true}, Keystroke{.mainKeyCode = 1, .control = true}}) {
        EXPECT_NE(base, other) << other.description();
        EXPECT_NE(test::hashOf(base), test::hashOf(other)) << other.description();
    }
    // The flags are fed in a fixed order: cmd alone and control alone differ.
    EXPECT_NE(test::hashOf(Keystroke{.cmd = true}), test::hashOf(Keystroke{.control = true}));
}

} // namespace
} // namespace tavlin
