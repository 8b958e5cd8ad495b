#include <gtest/gtest.h>

#include "flateditor/core/LeaderKeySuspension.h"
#include "flateditor/core/RowLeaderKey.h"
#include "flateditor/core/RowValidation.h"

namespace tavlin::flateditor {
namespace {

using Error = LeaderKeySettingError;

std::variant<std::int64_t, Error> parsed(std::int64_t value) { return value; }
std::variant<std::int64_t, Error> failed(Error error) { return error; }

TEST(CustomKeyCodeTest, DecimalWithOneOptionalSignWithinSixtyFourBits) {
    EXPECT_EQ(parseCustomKeyCode("36"), parsed(36));
    EXPECT_EQ(parseCustomKeyCode("+36"), parsed(36));
    EXPECT_EQ(parseCustomKeyCode("-1"), parsed(-1));
    EXPECT_EQ(parseCustomKeyCode("0"), parsed(0));
    EXPECT_EQ(parseCustomKeyCode("007"), parsed(7));
    EXPECT_EQ(parseCustomKeyCode("9223372036854775807"), parsed(INT64_MAX));
    EXPECT_EQ(parseCustomKeyCode("-9223372036854775808"), parsed(INT64_MIN));

    EXPECT_EQ(parseCustomKeyCode(""), failed(Error::emptyCustomKeyCode));
    for (const char* text : {" 36", "36 ", "0x24", "+", "-", "+-1", "-+1", "--1", "++1", "3.6", "1e3", "٣",
                             "9223372036854775808", "-9223372036854775809"}) {
        EXPECT_EQ(parseCustomKeyCode(text), failed(Error::invalidCustomKeyCode)) << text;
    }
}

} // namespace
} // namespace tavlin::flateditor
