#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <unordered_set>

#include "platform/base/Uuid.h"

namespace tavlin {
namespace {

TEST(Uuid, RandomHasVersionFourAndTheStandardVariant) {
    for (int i = 0; i < 200; ++i) {
        const Uuid uuid = Uuid::random();
        EXPECT_EQ(uuid.bytes()[6] >> 4, 4);
        EXPECT_EQ(uuid.bytes()[8] >> 6, 2);
        const std::string text = uuid.string();
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
    }
}

TEST(Uuid, TextIsUpperCaseHexInFiveGroups) {
    const Uuid uuid(Uuid::Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff});
    EXPECT_EQ(uuid.string(), "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(Uuid().string(), "00000000-0000-0000-0000-000000000000");

    const std::string text = Uuid::random().string();
    ASSERT_EQ(text.size(), 36u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(text[i], '-');
        } else {
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) && !std::islower(text[i])) << text;
        }
    }
}

TEST(Uuid, ParsesItsOwnTextInEitherCase) {
    for (int i = 0; i < 50; ++i) {
        const Uuid uuid = Uuid::random();
        std::string text = uuid.string();
        EXPECT_EQ(Uuid::fromString(text), uuid);
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(Uuid::fromString(text), uuid);
    }
    EXPECT_EQ(Uuid::fromString("aaBBccDD-0000-1111-2222-333344445555")->string(), "AABBCCDD-0000-1111-2222-333344445555");
}

TEST(Uuid, RefusesMalformedTexts) {
    for (const char* text : {
             "",
             "00112233-4455-6677-8899-AABBCCDDEEF",   // short
             "00112233-4455-6677-8899-AABBCCDDEEFF0", // long
             "00112233-4455-6677-8899-AABBCCDDEEFG",  // not hex
             "001122334-455-6677-8899-AABBCCDDEEFF",  // hyphen misplaced
             "00112233_4455_6677_8899_AABBCCDDEEFF",
             "0011223344556677-8899AABBCCDDEEFF-00",
             "{0112233-4455-6677-8899-AABBCCDDEEF}",
             "00112233-4455-6677-8899- ABBCCDDEEFF",
             "+0112233-4455-6677-8899-AABBCCDDEEFF",
             "000000000000000000000000000000000000",
         }) {
        EXPECT_FALSE(Uuid::fromString(text)) << text;
    }
    EXPECT_FALSE(Uuid::fromString(std::string_view("00112233-4455-6677-8899-AABBCCDDEE\0F", 36)));
}

TEST(Uuid, RandomsAreDistinct) {
    std::set<Uuid> ordered;
    std::unordered_set<Uuid> hashed;
    for (int i = 0; i < 10000; ++i) {
        const Uuid uuid = Uuid::random();
        ordered.insert(uuid);
        hashed.insert(uuid);
    }
    EXPECT_EQ(ordered.size(), 10000u);
    EXPECT_EQ(hashed.size(), 10000u);
    EXPECT_NE(Uuid::random(), Uuid());
}

} // namespace
} // namespace tavlin
