#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "model/Keystroke.h"
#include "model/ListText.h"

namespace tavlin {
namespace {

json::Value encodeInt(int value) { return value; }
int decodeInt(const JsonReader& reader) { return reader.integer(); }
std::string decodeText(const JsonReader& reader) { return reader.string(); }

TEST(ListText, RawValueIsCompactJson) {
    EXPECT_EQ(listRawValue(std::vector<int>{}, encodeInt), "[]");
    EXPECT_EQ(listRawValue(std::vector<int>{1, 2, -3}, encodeInt), "[1,2,-3]");
    const auto keystroke = [](const Keystroke& k) { return k.toJson(); };
    EXPECT_EQ(listRawValue(std::vector<Keystroke>{{.mainKeyCode = 0, .cmd = true}}, keystroke),
              R"([{"mainKeyCode":0,"cmd":true,"shift":false,"option":false,"control":false}])");
}

TEST(ListText, RawValueIsEmptyListWhenAnElementCannotBeEncoded) {
    const auto number = [](double d) { return json::Value(d); };
    EXPECT_EQ(listRawValue(std::vector<double>{1.5, std::numeric_limits<double>::quiet_NaN()}, number), "[]");
    EXPECT_EQ(listRawValue(std::vector<int>{1}, [](int) -> json::Value { throw std::runtime_error("no"); }), "[]");
}

TEST(ListText, ReadsBackWhatItWrote) {
    const std::vector<std::string> texts{"a/b", "\"quoted\"", "é ✓", ""};
    const auto text = listRawValue(texts, [](const std::string& s) { return json::Value(s); });
    EXPECT_EQ(listFromRawValue<std::string>(text, decodeText), texts);
    EXPECT_EQ(listFromRawValue<int>("[]", decodeInt), std::vector<int>{});
    // Any JSON layout is accepted.
    EXPECT_EQ(listFromRawValue<int>(" [ 1 ,\n 2 ] ", decodeInt), (std::vector<int>{1, 2}));
}

TEST(ListText, TextThatIsNotAListOfElementsGivesNoList) {
    EXPECT_EQ(listFromRawValue<int>("", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>("not json", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>("[1, 2", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>("{}", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>("[1, \"x\"]", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>("[1.5]", decodeInt), std::nullopt);
    EXPECT_EQ(listFromRawValue<std::string>("[\"\xFF\"]", decodeText), std::nullopt);
    EXPECT_EQ(listFromRawValue<int>(std::string(100000, '['), decodeInt), std::nullopt);
}

TEST(ListText, LexicographicOrder) {
    using L = std::vector<int>;
    EXPECT_TRUE(lexicographicallyLess(L{1, 2}, L{1, 2, 0}));
    EXPECT_FALSE(lexicographicallyLess(L{1, 2, 0}, L{1, 2}));
    EXPECT_TRUE(lexicographicallyLess(L{1, 2}, L{2}));
    EXPECT_FALSE(lexicographicallyLess(L{2}, L{1, 2}));
    EXPECT_TRUE(lexicographicallyLess(L{}, L{0}));
    EXPECT_FALSE(lexicographicallyLess(L{}, L{}));
    EXPECT_FALSE(lexicographicallyLess(L{0}, L{}));
    EXPECT_FALSE(lexicographicallyLess(L{3}, L{3}));
    EXPECT_TRUE(lexicographicallyLess(L{3, 1, 9}, L{3, 2}));
    using T = std::vector<std::string>;
    EXPECT_TRUE(lexicographicallyLess(T{"a", "b"}, T{"a", "c"}));
}

} // namespace
} // namespace tavlin
