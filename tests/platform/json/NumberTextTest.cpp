#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/json/NumberText.h"

namespace tavlin {
namespace {

TEST(DoubleDescription, WholeNumbersKeepOneDecimalPlace) {
    EXPECT_EQ(doubleDescription(2), "2.0");
    EXPECT_EQ(doubleDescription(0), "0.0");
    EXPECT_EQ(doubleDescription(-0.0), "-0.0");
    EXPECT_EQ(doubleDescription(-3), "-3.0");
    EXPECT_EQ(doubleDescription(100000), "100000.0");
    EXPECT_EQ(doubleDescription(1e16), "10000000000000000.0");
}

TEST(DoubleDescription, FractionsAreShortest) {
    EXPECT_EQ(doubleDescription(0.5), "0.5");
    EXPECT_EQ(doubleDescription(0.1), "0.1");
    EXPECT_EQ(doubleDescription(-1.5), "-1.5");
    EXPECT_EQ(doubleDescription(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(doubleDescription(0.0001), "0.0001");
}

TEST(DoubleDescription, ExtremeMagnitudesUseAnExponent) {
    EXPECT_EQ(doubleDescription(1e-5), "1e-05");
    EXPECT_EQ(doubleDescription(-2.5e-7), "-2.5e-07");
    EXPECT_EQ(doubleDescription(1e20), "1e+20");
    EXPECT_EQ(doubleDescription(1.5e300), "1.5e+300");
}

TEST(DoubleDescription, NonFiniteValues) {
    EXPECT_EQ(doubleDescription(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(doubleDescription(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(doubleDescription(std::nan("")), "nan");
}

TEST(DoubleDescription, ReadsBackAsTheSameDouble) {
    for (const double value : {0.1, 1.0 / 3.0, 2.0 / 3.0 * 1e-9, 123456789.123, 9007199254740993.0, 3e17,
                               std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min()}) {
        const std::string text = doubleDescription(value);
        double back = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(result.ptr, text.data() + text.size()) << text;
        EXPECT_EQ(back, value) << text;
    }
}

} // namespace
} // namespace tavlin
