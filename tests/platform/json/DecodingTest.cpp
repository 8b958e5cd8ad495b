#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {
namespace {

using Kind = DecodingError::Kind;

DecodingError errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "no DecodingError";
    return DecodingError::dataCorrupted({}, "none");
}

const char* const document = R"({
  "decision" : {
    "name" : "root",
    "count" : 3,
    "gone" : null,
    "chances" : [
      { "pattern" : "a" },
      { "pattern" : 7, "extra" : true }
    ]
  }
})";

TEST(CodingPath, DescribesMembersWithDotsAndIndicesWithBrackets) {
    EXPECT_EQ(describeCodingPath({}), "");
    EXPECT_EQ(describeCodingPath({CodingKey::member("decision"), CodingKey::member("chances"), CodingKey::index(1),
                                  CodingKey::member("pattern")}),
              "decision.chances[1].pattern");
    EXPECT_EQ(describeCodingPath({CodingKey::index(0), CodingKey::index(2), CodingKey::member("a")}), "[0][2].a");
}

TEST(JsonReader, TracksTheCodingPathThroughMembersAndElements) {
    const json::Value value = json::parse(document);
    const JsonReader root(value);
    EXPECT_TRUE(root.codingPath().empty());

    const JsonReader pattern = root.member("decision").member("chances").elements()[1].member("pattern");
    EXPECT_EQ(describeCodingPath(pattern.codingPath()), "decision.chances[1].pattern");
    const CodingPath expected{CodingKey::member("decision"), CodingKey::member("chances"), CodingKey::index(1),
                              CodingKey::member("pattern")};
    EXPECT_EQ(pattern.codingPath(), expected);
    EXPECT_EQ(pattern.codingPath()[2].intValue, 1);

    // Sibling readers do not share steps they should not.
    const auto chances = root.member("decision").member("chances").elements();
    ASSERT_EQ(chances.size(), 2u);
    EXPECT_EQ(describeCodingPath(chances[0].codingPath()), "decision.chances[0]");
    EXPECT_EQ(describeCodingPath(chances[1].codingPath()), "decision.chances[1]");
    EXPECT_EQ(describeCodingPath(root.optionalMember("decision")->codingPath()), "decision");
}

TEST(JsonReader, ReadsPresentValues) {
    const json::Value value = json::parse(document);
    const JsonReader decision = JsonReader(value).member("decision");
    EXPECT_EQ(decision.stringMember("name"), "root");
    EXPECT_EQ(decision.member("count").integer(), 3);
    EXPECT_EQ(decision.member("count").number(), 3.0);
    EXPECT_TRUE(decision.contains("gone"));
    EXPECT_FALSE(decision.contains("absent"));
    EXPECT_FALSE(decision.optionalMember("gone"));
    EXPECT_FALSE(decision.optionalMember("absent"));
    EXPECT_FALSE(decision.optionalStringMember("absent"));
    EXPECT_EQ(decision.member("chances").elements()[1].optionalBooleanMember("extra"), true);
}

TEST(JsonReader, MissingRequiredMemberIsKeyNotFoundAtTheContainer) {
    const json::Value value = json::parse(document);
    const JsonReader chance = JsonReader(value).member("decision").member("chances").elements()[0];
    const DecodingError error = errorOf([&] { chance.member("condition"); });
    EXPECT_EQ(error.kind(), Kind::keyNotFound);
    EXPECT_EQ(error.key(), "condition");
    EXPECT_EQ(describeCodingPath(error.codingPath()), "decision.chances[0]");
    EXPECT_NE(error.debugDescription().find("condition"), std::string::npos);

    EXPECT_EQ(errorOf([&] { chance.stringMember("missing"); }).kind(), Kind::keyNotFound);
    EXPECT_EQ(errorOf([&] { chance.booleanMember("missing"); }).kind(), Kind::keyNotFound);
}

TEST(JsonReader, NullIsValueNotFound) {
    const json::Value value = json::parse(document);
    const JsonReader decision = JsonReader(value).member("decision");

    const DecodingError error = errorOf([&] { decision.stringMember("gone"); });
    EXPECT_EQ(error.kind(), Kind::valueNotFound);
    EXPECT_EQ(error.type(), "String");
    EXPECT_EQ(describeCodingPath(error.codingPath()), "decision.gone");

    EXPECT_EQ(errorOf([&] { decision.member("gone"); }).kind(), Kind::valueNotFound);
    const json::Value null;
    EXPECT_EQ(errorOf([&] { JsonReader(null).int64(); }).kind(), Kind::valueNotFound);
    EXPECT_EQ(errorOf([&] { JsonReader(null).elements(); }).kind(), Kind::valueNotFound);
    // Optional members treat null as absent, but a present value of the wrong type is an error.
    EXPECT_FALSE(decision.optionalStringMember("gone"));
    EXPECT_EQ(errorOf([&] { decision.optionalStringMember("count"); }).kind(), Kind::typeMismatch);
}

TEST(JsonReader, WrongJsonTypeIsTypeMismatch) {
    const json::Value value = json::parse(document);
    const JsonReader root(value);
    const JsonReader decision = root.member("decision");

    const DecodingError error = errorOf([&] { decision.member("chances").elements()[1].stringMember("pattern"); });
    EXPECT_EQ(error.kind(), Kind::typeMismatch);
    EXPECT_EQ(error.type(), "String");
    EXPECT_EQ(describeCodingPath(error.codingPath()), "decision.chances[1].pattern");
    EXPECT_NE(error.debugDescription().find("a number"), std::string::npos);

    EXPECT_EQ(errorOf([&] { decision.member("name").integer(); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(errorOf([&] { decision.member("name").number(); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(errorOf([&] { decision.member("name").boolean(); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(errorOf([&] { decision.member("count").string(); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(errorOf([&] { decision.member("name").elements(); }).kind(), Kind::typeMismatch);
    // Keyed access on something that is not an object.
    const DecodingError keyed = errorOf([&] { decision.member("chances").member("x"); });
    EXPECT_EQ(keyed.kind(), Kind::typeMismatch);
    EXPECT_EQ(describeCodingPath(keyed.codingPath()), "decision.chances");
    EXPECT_EQ(errorOf([&] { decision.member("count").requireObject("Decision"); }).type(), "Decision");
    EXPECT_EQ(errorOf([&] { decision.member("name").contains("x"); }).kind(), Kind::typeMismatch);
}

TEST(JsonReader, CaseKeyFindsTheOneCaseAndIgnoresOtherMembers) {
    const json::Value value = json::parse(R"({"note":"x","launch":{},"other":1})");
    EXPECT_EQ(JsonReader(value).caseKey("Action", {"launch", "open", "quit"}), "launch");
    const std::vector<std::string_view> cases{"quit", "launch"};
    EXPECT_EQ(JsonReader(value).caseKey("Action", cases), "launch");
}

TEST(JsonReader, CaseKeyRefusesNoneOrSeveralCases) {
    for (const char* text : {R"({})", R"({"note":1})", R"({"launch":{},"quit":{}})"}) {
        SCOPED_TRACE(text);
        const json::Value value = json::parse(text);
        const DecodingError error = errorOf([&] { JsonReader(value).caseKey("Action", {"launch", "quit"}); });
        EXPECT_EQ(error.kind(), Kind::typeMismatch);
        EXPECT_EQ(error.type(), "Action");
        EXPECT_EQ(error.debugDescription(), "Invalid number of keys found, expected one.");
    }
    const json::Value nested = json::parse(R"({"do":[{"a":1,"b":2}]})");
    const DecodingError error = errorOf([&] { JsonReader(nested).member("do").elements()[0].caseKey("Step", {"a", "b"}); });
    EXPECT_EQ(describeCodingPath(error.codingPath()), "do[0]");
    // Not an object at all is a mismatch for the same type.
    const json::Value list = json::parse("[]");
    EXPECT_EQ(errorOf([&] { JsonReader(list).caseKey("Action", {"launch"}); }).type(), "Action");
}

TEST(JsonReader, IntegersMustBeWholeAndFit) {
    const auto read = [](const char* text) {
        const json::Value value = json::parse(text);
        return JsonReader(value).int64();
    };
    EXPECT_EQ(read("1.0"), 1);
    EXPECT_EQ(read("-0"), 0);
    EXPECT_EQ(read("1e3"), 1000);
    EXPECT_EQ(read("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(read("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    for (const char* text : {"1.5", "-0.25", "1e20", "9223372036854775808", "18446744073709551615", "18446744073709551616",
                             "-9223372036854775809", "9.3e18", "-1e19"}) {
        SCOPED_TRACE(text);
        const DecodingError error = errorOf([&] { read(text); });
        EXPECT_EQ(error.kind(), Kind::dataCorrupted);
        EXPECT_NE(error.debugDescription().find("Int"), std::string::npos);
    }
}

TEST(JsonReader, NarrowIntegersCheckTheirRange) {
    const json::Value value = json::parse(
        "[2147483647, 2147483648, -2147483648, -2147483649, 4294967295, "
        "4294967296, -1, 3.0]");
    const auto e = JsonReader(value).elements();
    EXPECT_EQ(e[0].integer(), 2147483647);
    EXPECT_EQ(errorOf([&] { e[1].integer(); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(e[2].integer(), -2147483647 - 1);
    EXPECT_EQ(errorOf([&] { e[3].integer(); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(e[4].uint32(), 4294967295u);
    EXPECT_EQ(errorOf([&] { e[5].uint32(); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(errorOf([&] { e[6].uint32(); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(e[7].uint32(), 3u);
    EXPECT_EQ(describeCodingPath(errorOf([&] { e[5].uint32(); }).codingPath()), "[5]");
}

TEST(JsonReader, NumbersReadAnyFiniteJsonNumber) {
    const json::Value value = json::parse("[0.5, -3, 18446744073709551615, 1e308]");
    const auto e = JsonReader(value).elements();
    EXPECT_EQ(e[0].number(), 0.5);
    EXPECT_EQ(e[1].number(), -3.0);
    EXPECT_EQ(e[2].number(), 18446744073709551615.0);
    EXPECT_EQ(e[3].number(), 1e308);
}

TEST(DecodingError, LocalizedDescriptionIsASentenceWithTheDetail) {
    const json::Value value = json::parse(R"({"outer":{}})");
    const DecodingError missing = errorOf([&] { JsonReader(value).member("outer").member("inner"); });
    const std::string sentence = missing.localizedDescription();
    EXPECT_NE(sentence.find("missing"), std::string::npos);
    EXPECT_NE(sentence.find(missing.debugDescription()), std::string::npos);
    EXPECT_NE(sentence.find("inner"), std::string::npos);
    EXPECT_NE(sentence.find("outer"), std::string::npos);

    const DecodingError corrupted = errorOf([] { json::parse("[1,"); });
    EXPECT_NE(corrupted.localizedDescription().find("correct format"), std::string::npos);
    EXPECT_NE(corrupted.localizedDescription().find(corrupted.debugDescription()), std::string::npos);
}

TEST(DecodeJson, ReportsParseAndShapeErrorsAlike) {
    const auto decodeName = [](std::string_view text) {
        return decodeJson(text, [](const JsonReader& reader) { return reader.stringMember("name"); });
    };
    EXPECT_EQ(decodeName(R"({"name":"x"})"), "x");
    EXPECT_EQ(errorOf([&] { decodeName("{"); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(errorOf([&] { decodeName("{}"); }).kind(), Kind::keyNotFound);
}

} // namespace
} // namespace tavlin
