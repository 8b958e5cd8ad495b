#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"
#include "platform/json/JsonSink.h"
#include "platform/text/Unicode.h"

namespace tavlin {
namespace {

using json::Style;
using json::Value;

// --- Encoding ---------------------------------------------------------------------------------

TEST(JsonEncode, PrettyFormIndentsByTwoAndKeepsKeysInWrittenOrder) {
    Value value = Value::object();
    value["zebra"] = 1;
    value["apple"] = Value::array({true, nullptr});
    value["middle"] = Value::object({{"inner", "x"}});
    value["emptyList"] = Value::array();
    value["emptyObject"] = Value::object();

    EXPECT_EQ(json::encode(value),
              "{\n"
              "  \"zebra\" : 1,\n"
              "  \"apple\" : [\n"
              "    true,\n"
              "    null\n"
              "  ],\n"
              "  \"middle\" : {\n"
              "    \"inner\" : \"x\"\n"
              "  },\n"
              "  \"emptyList\" : [],\n"
              "  \"emptyObject\" : {}\n"
              "}");
}

TEST(JsonEncode, CompactFormHasNoWhiteSpace) {
    Value value = Value::object();
    value["b"] = Value::array({1, -2, "t"});
    value["a"] = Value::object();
    EXPECT_EQ(json::encode(value, Style::compact), R"({"b":[1,-2,"t"],"a":{}})");
    EXPECT_EQ(json::encode(Value::array(), Style::compact), "[]");
    EXPECT_EQ(json::encode(Value("x"), Style::pretty), "\"x\"");
}

TEST(JsonEncode, EscapesSlashQuotesBackslashAndControlCharacters) {
    EXPECT_EQ(json::encode(Value("/usr/bin")), R"("\/usr\/bin")");
    EXPECT_EQ(json::encode(Value("say \"hi\" \\ bye")), R"("say \"hi\" \\ bye")");
    EXPECT_EQ(json::encode(Value("\b\f\n\r\t")), R"("\b\f\n\r\t")");
    EXPECT_EQ(json::encode(Value(std::string("\x01\x1f", 2))), R"("\u0001\u001f")");
    EXPECT_EQ(json::encode(Value(std::string("a\0b", 3))), R"("a\u0000b")");
    // Keys go through the same escaping as values.
    EXPECT_EQ(json::encode(Value::object({{"a/b\n", 1}}), Style::compact), R"({"a\/b\n":1})");
}

TEST(JsonEncode, KeepsNonAsciiAsUtf8) { EXPECT_EQ(json::encode(Value("é日本😀")), "\"é日本😀\""); }

TEST(JsonEncode, ReplacesInvalidUtf8SoTheOutputAlwaysParsesBack) {
    const std::string broken[] = {
        "\xff",              // never valid
        "a\x80z",            // lone continuation byte
        "\xC0\xAF",          // overlong "/"
        "\xED\xA0\x80",      // a surrogate encoded in UTF-8
        "\xE6\x97",          // truncated sequence at the end
        "ok\xF4\x90\x80\x80" // beyond U+10FFFF
    };
    for (const auto& text : broken) {
        SCOPED_TRACE(testing::PrintToString(text));
        for (const Value& value : {Value(text), Value::object({{text, text}})}) {
            const std::string encoded = json::encode(value, Style::compact);
            EXPECT_TRUE(unicode::isValidUtf8(encoded));
            EXPECT_NE(encoded.find("\xEF\xBF\xBD"), std::string::npos);
            EXPECT_NO_THROW(json::parse(encoded));
        }
    }
    EXPECT_EQ(json::encode(Value("a\x80z")), "\"a\xEF\xBF\xBDz\"");
}

TEST(JsonEncode, RefusesNumbersThatAreNotFinite) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (const double number : values) {
        EXPECT_THROW(json::encode(Value(number)), EncodingError);
    }
    // The error tells where the number sits.
    Value value = Value::object({{"list", Value::array({1.0, std::nan("")})}});
    try {
        json::encode(value);
        FAIL() << "NaN was encoded";
    } catch (const EncodingError& error) {
        EXPECT_EQ(describeCodingPath(error.codingPath()), "list[1]");
        EXPECT_NE(error.debugDescription().find("NaN"), std::string::npos);
        EXPECT_NE(error.localizedDescription().find(error.debugDescription()), std::string::npos);
    }
}

TEST(JsonEncode, WritesShortestDoublesThatRoundTripExactly) {
    EXPECT_EQ(json::encode(Value(0.1)), "0.1");
    EXPECT_EQ(json::encode(Value(-2.5)), "-2.5");
    EXPECT_EQ(json::encode(Value(1.0 / 3.0)), "0.3333333333333333");

    const double values[] = {0.1,
                             0.2 + 0.1,
                             1.0 / 3.0,
                             1e-7,
                             123456.789,
                             1e20,
                             1e300,
                             -1e-300,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             9007199254740993.0,
                             2.0,
                             -7.0};
    for (const double number : values) {
        SCOPED_TRACE(number);
        const Value parsed = json::parse(json::encode(Value::array({number})));
        EXPECT_EQ(JsonReader(parsed).elements()[0].number(), number);
    }
}

TEST(JsonEncode, WritesIntegersExactly) {
    EXPECT_EQ(json::encode(Value(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(json::encode(Value(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
}

// --- Parsing ----------------------------------------------------------------------------------

void expectCorrupted(std::string_view text) {
    try {
        json::parse(text);
        ADD_FAILURE() << "parsed: " << testing::PrintToString(std::string(text.substr(0, 80)));
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
        EXPECT_TRUE(error.codingPath().empty());
    }
}

TEST(JsonParse, RefusesEmptyAndTruncatedDocuments) {
    for (const char* text :
         {"",    " ",   " \n\t\r ", "[",  "{",  "[1,", "{\"a\"", "{\"a\":",    "{\"a\":1,", "\"abc", "\"a\\", "\"\\u12",
          "tru", "nul", "-",        "1.", "1e", "1e+", "[1,]",   "{\"a\":1,}", "{a:1}",     "'a'",   "[1 2]"}) {
        SCOPED_TRACE(text);
        expectCorrupted(text);
    }
}

TEST(JsonParse, RefusesInvalidUtf8) {
    for (const char* text : {
             "\"\xC0\xAF\"",         // overlong
             "\"\xE0\x80\xAF\"",     // overlong, three bytes
             "\"\x80\"",             // lone continuation byte
             "\"\xED\xA0\x80\"",     // surrogate D800 encoded in UTF-8
             "\"\xED\xBF\xBF\"",     // surrogate DFFF encoded in UTF-8
             "\"\xF4\x90\x80\x80\"", // beyond U+10FFFF
             "\"\xE6\x97\"",         // truncated sequence
             "\"\xFF\"",
             "[\xFF]",           // outside a string
             "{\"\xC0\xAF\":1}", // in a key
         }) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        expectCorrupted(text);
    }
    // Escaped lone surrogates are no text either.
    expectCorrupted(R"("\ud800")");
    expectCorrupted(R"("\udc00x")");
    EXPECT_EQ(json::parse(R"("\ud83d\ude00")").get<std::string>(), "😀");
}

TEST(JsonParse, RefusesGarbageAfterTheDocument) {
    for (const char* text : {"{} x", "[1]]", "1 2", "null,", "\"a\"\"b\"", "{}{}", "[] \x01"}) {
        SCOPED_TRACE(text);
        expectCorrupted(text);
    }
    EXPECT_NO_THROW(json::parse(" [1] \n"));
}

TEST(JsonParse, RefusesNonJsonNumbers) {
    for (const char* text : {"NaN", "nan", "Infinity", "-Infinity", "inf", "[NaN]", "+1", "01", ".5", "0x10", "1.e5", "--1"}) {
        SCOPED_TRACE(text);
        expectCorrupted(text);
    }
}

std::string nested(std::string_view open, std::string_view close, int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += open;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

TEST(JsonParse, RefusesNestingBeyondTheLimitButNotAtIt) {
    constexpr int limit = json::maximumNestingDepth;
    expectCorrupted(std::string(100000, '['));
    expectCorrupted(nested("[", "]", 100000));
    expectCorrupted(nested("[", "]", limit + 1));
    expectCorrupted(nested("{\"a\":", "}", limit + 1));
    expectCorrupted(nested("[{\"a\":", "}]", limit / 2 + 1));

    EXPECT_NO_THROW(json::parse(nested("[", "]", limit)));
    const Value deepest = json::parse(nested("{\"a\":", "}", limit - 1).insert((limit - 1) * 5, "[]"));
    EXPECT_TRUE(deepest.is_object());
}

// What the parser refuses must not be written: a file that cannot be read back is stuck.
TEST(JsonEncode, TheWriterRefusesWhatTheParserWouldAndNothingLess) {
    constexpr int limit = json::maximumNestingDepth;
    const auto arrays = [](int depth) {
        return [depth](json::Sink& sink) {
            for (int i = 0; i < depth; ++i) sink.beginArray();
            for (int i = 0; i < depth; ++i) sink.endArray();
        };
    };
    EXPECT_NO_THROW(json::checkEncodable(arrays(limit)));
    EXPECT_NO_THROW(json::parse(json::encodeFrom(arrays(limit))));
    try {
        json::checkEncodable(arrays(limit + 1));
        ADD_FAILURE() << "no EncodingError";
    } catch (const EncodingError& error) {
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn’t be written because it isn’t in the correct format. "
                  "The value is nested deeper than 512 levels, more than can be read back.");
    }
    expectCorrupted(json::encodeFrom(arrays(limit + 1)));
}

TEST(JsonParse, CountsNestingOnlyOutsideStrings) {
    const std::string brackets(5000, '[');
    const Value value = json::parse("{\"" + brackets + "\":\"\\\"" + brackets + "\\\\\"}");
    EXPECT_EQ(value.begin().key(), brackets);
}

TEST(JsonParse, HugeNumbersNeverComeOutAsInfinity) {
    for (const char* text : {"1e999", "-1e999", "[1e400]"}) {
        SCOPED_TRACE(text);
        try {
            const Value value = json::parse(text);
            const JsonReader root(value);
            const JsonReader reader = value.is_array() ? root.elements()[0] : root;
            try {
                reader.number();
                ADD_FAILURE() << "read as a double";
            } catch (const DecodingError& error) {
                EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
            }
            EXPECT_THROW(reader.int64(), DecodingError);
            EXPECT_THROW(reader.integer(), DecodingError);
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
        }
    }
}

TEST(JsonParse, KeepsObjectMembersInDocumentOrder) {
    const Value value = json::parse(R"({"z":1,"a":2,"m":3})");
    std::string keys;
    for (const auto& [key, element] : value.items()) keys += key;
    EXPECT_EQ(keys, "zam");
    EXPECT_EQ(json::encode(value, Style::compact), R"({"z":1,"a":2,"m":3})");
}

// Small and large objects take different paths to find a repeated name.
TEST(JsonParse, ARepeatedMemberNameKeepsItsFirstPlaceAndTakesTheLastValue) {
    EXPECT_EQ(json::encode(json::parse(R"({"a":1,"b":2,"a":3})"), Style::compact), R"({"a":3,"b":2})");
    EXPECT_EQ(json::encode(json::parse(R"({"a":{"x":1,"x":2},"x":3,"a":{"y":4}})"), Style::compact), R"({"a":{"y":4},"x":3})");
    EXPECT_EQ(
        json::encode(json::parse(R"({"k0":0,"k1":1,"k2":2,"k3":3,"k4":4,"k5":5,"k6":6,"k7":7,"k8":8,"k1":9})"), Style::compact),
        R"({"k0":0,"k1":9,"k2":2,"k3":3,"k4":4,"k5":5,"k6":6,"k7":7,"k8":8})");
}

TEST(JsonParse, ReadsBackWhatTheEncoderWrote) {
    Value value = Value::object();
    value["text"] = "tab\t/slash \"quote\" \x01 é 😀";
    value["list"] = Value::array({1, -1, 0.5, true, false, nullptr, Value::object(), Value::array()});
    value["nested"] = Value::object({{"k", Value::array({Value::object({{"x", 1}})})}});
    for (const Style style : {Style::pretty, Style::compact}) {
        EXPECT_EQ(json::parse(json::encode(value, style)), value);
    }
}

} // namespace
} // namespace tavlin
