#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/ActionOutcome.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using Key = ActionOutcome::key;
using Message = ActionOutcome::message;

TEST(ActionOutcome, Descriptions) {
    EXPECT_EQ(ActionOutcome(Key{49}).description(), R"("Space" typed)");
    EXPECT_EQ(ActionOutcome(Key{0}).description(), R"("A" typed)");
    EXPECT_EQ(ActionOutcome(Key{10}).description(), R"x("Unknow(10)" typed)x");
    EXPECT_EQ(ActionOutcome(Message{"hello"}).description(), R"("hello" received)");
    EXPECT_EQ(ActionOutcome(Message{""}).description(), R"("" received)");
    EXPECT_EQ(ActionOutcome(Message{"a\"b"}).description(), R"("a"b" received)");
}

TEST(ActionOutcome, JsonForms) {
    EXPECT_EQ(ActionOutcome(Key{5}).toJson(), test::parsed(R"({"key": {"keyCode": 5}})"));
    EXPECT_EQ(ActionOutcome(Message{"s/t"}).toJson(), test::parsed(R"({"message": {"text": "s/t"}})"));
    EXPECT_EQ(decode<ActionOutcome>(R"({"key": {"keyCode": 49}})"), ActionOutcome(Key{49}));
    // Compact text from other processes, extra members anywhere.
    EXPECT_EQ(decode<ActionOutcome>(R"({"x":1,"message":{"text":"hi","y":2}})"), ActionOutcome(Message{"hi"}));
}

TEST(ActionOutcome, RoundTripKeepsValueAndId) {
    for (const ActionOutcome& outcome : {ActionOutcome(Message{"abc"}), ActionOutcome(Message{""}), ActionOutcome(Key{-1}),
                                         ActionOutcome(Message{"line\nbreak \"quoted\" ✓"})}) {
        const ActionOutcome decoded = decode<ActionOutcome>(json::encode(outcome.toJson()));
        EXPECT_EQ(decoded, outcome) << outcome.description();
        EXPECT_EQ(decoded.id(), outcome.id()) << outcome.description();
    }
}

TEST(ActionOutcome, DecodingFailures) {
    for (const char* text : {R"({})", R"({"keyCode": 5, "text": "x"})", R"({"key": {"keyCode": 5}, "message": {"text": "x"}})"}) {
        EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([&] { decode<ActionOutcome>(text); }), "ActionOutcome")) << text;
    }
    const auto noKeyCode = decodingErrorOf([] { decode<ActionOutcome>(R"({"key": {"code": 5}})"); });
    ASSERT_TRUE(hasKind(noKeyCode, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noKeyCode->key(), "keyCode");
    for (const char* text : {R"({"key": {"keyCode": "5"}})", R"({"message": {"text": 5}})", R"({"message": "hi"})", R"("hi")"}) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<ActionOutcome>(text); }), DecodingError::Kind::typeMismatch)) << text;
    }
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<ActionOutcome>(R"({"key": {"keyCode": 1.5}})"); }),
                        DecodingError::Kind::dataCorrupted));
    EXPECT_TRUE(
        hasKind(decodingErrorOf([] { decode<ActionOutcome>(R"({"key": {"keyCode": 5})"); }), DecodingError::Kind::dataCorrupted));
}

TEST(ActionOutcome, EqualityAndId) {
    EXPECT_EQ(ActionOutcome(Key{5}), ActionOutcome(Key{5}));
    EXPECT_NE(ActionOutcome(Key{5}), ActionOutcome(Key{6}));
    EXPECT_NE(ActionOutcome(Key{5}), ActionOutcome(Message{"5"}));
    EXPECT_EQ(ActionOutcome(Key{5}).id(), ActionOutcome(Key{5}).id());
    EXPECT_EQ(ActionOutcome(Message{"x"}).id(), ActionOutcome(Message{"x"}).id());
    EXPECT_NE(ActionOutcome(Key{5}).id(), ActionOutcome(Key{6}).id());
    EXPECT_NE(ActionOutcome(Message{"x"}).id(), ActionOutcome(Message{"y"}).id());
    // The case is part of the hash: key 0 is not the message "".
    EXPECT_NE(ActionOutcome(Key{0}).id(), ActionOutcome(Message{""}).id());
}

} // namespace
} // namespace tavlin
