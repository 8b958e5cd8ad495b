#include <algorithm>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/KeyNames.h"
#include "model/LeaderKey.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using M = HotKey::SingleTapModifier;

// Outcomes and diagnostic lines keep the stored symbols; a person reads the desktop's names.
TEST(LeaderKey, DisplayTexts) {
    struct Row {
        LeaderKey key;
        std::string modifierKeyName;
        std::string description;
        std::string shown;
    };
    const std::vector<Row> rows{
        {LeaderKey::hold(false, 49), "Space", "Space", "Space"},
        {LeaderKey::hold(true, 10), "Unknow(10)", "Unknow(10)", "Unknow(10)"}, // keepPressFunction is not shown
        {LeaderKey::hold(false, 0), "A", "A", "A"},
        {LeaderKey::press(HotKey::combo(122, carbon::control | carbon::shift)), "⌃⇧F1", "⌃⇧F1", "Ctrl+Shift+F1"},
        {LeaderKey::press(HotKey::combo(49, carbon::command | carbon::option)), "⌥⌘Space", "⌥⌘Space", "Super+Alt+Space"},
        {LeaderKey::press(HotKey::combo(1, carbon::all)), "⌃⌥⇧⌘S", "⌃⌥⇧⌘S", "Super+Ctrl+Alt+Shift+S"},
        {LeaderKey::press(HotKey::combo(0, 0)), "A", "A", "A"},
        {LeaderKey::press(HotKey::singleModifier(M::command)), "⌘ Command", "⌘", "Super"},
        {LeaderKey::press(HotKey::singleModifier(M::shift)), "⇧ Shift", "⇧", "Shift"},
        {LeaderKey::press(HotKey::singleModifier(M::option)), "⌥ Option", "⌥", "Alt"},
        {LeaderKey::press(HotKey::singleModifier(M::control)), "⌃ Control", "⌃", "Ctrl"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(modifierKeyName(row.key), row.modifierKeyName);
        EXPECT_EQ(row.key.description(), row.description);
        EXPECT_EQ(shownText(row.key), row.shown);
    }
}

TEST(LeaderKey, JsonFormsAndRoundTrip) {
    EXPECT_EQ(LeaderKey::hold(true, 49).toJson(), test::parsed(R"({"hold":{"info":{"keepPressFunction":true,"keyCode":49}}})"));
    EXPECT_EQ(LeaderKey::press(HotKey::singleModifier(M::shift)).toJson(),
              test::parsed(R"({"press":{"info":{"hotKey":{"singleModifier":{"info":{"singleTapModifier":"⇧"}}}}}})"));
    for (const LeaderKey& key : {LeaderKey::hold(false, -7), LeaderKey::hold(true, 53), LeaderKey::press(HotKey::combo(0, 256)),
                                 LeaderKey::press(HotKey::singleModifier(M::control))}) {
        EXPECT_EQ(decode<LeaderKey>(json::encode(key.toJson())), key) << key.description();
    }
}

TEST(LeaderKey, DecodingFailures) {
    for (
        const char* text : {
            R"({})",
            R"({"info":{"keepPressFunction":true,"keyCode":49}})",
            R"({"hold":{"info":{"keepPressFunction":true,"keyCode":49}},"press":{"info":{"hotKey":{"combo":{"info":{"keyCode":0,"modifiersCode":0}}}}}})",
        }) {
        EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([&] { decode<LeaderKey>(text); }), "LeaderKey")) << text;
    }
    // The hot key inside a press key reports its own type.
    EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([] { decode<LeaderKey>(R"({"press":{"info":{"hotKey":{}}}})"); }),
                                            "Configuration.HotKey"));
    const auto noKeyCode = decodingErrorOf([] { decode<LeaderKey>(R"({"hold":{"info":{"keepPressFunction":false}}})"); });
    ASSERT_TRUE(hasKind(noKeyCode, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noKeyCode->key(), "keyCode");
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<LeaderKey>(R"({"hold":{"info":{"keepPressFunction":0,"keyCode":1}}})"); }),
                        DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<LeaderKey>(R"({"hold":{"keepPressFunction":false,"keyCode":1}})"); }),
                        DecodingError::Kind::keyNotFound));
}

TEST(LeaderKey, OrderPutsHoldKeysFirstThenHotKeys) {
    const std::vector<LeaderKey> expected{
        LeaderKey::hold(false, -1),
        LeaderKey::hold(false, 0),
        LeaderKey::hold(false, 49),
        LeaderKey::hold(true, 3),
        LeaderKey::hold(true, 60),
        LeaderKey::press(HotKey::combo(5, 0)),
        LeaderKey::press(HotKey::combo(0, carbon::command)),
        LeaderKey::press(HotKey::combo(11, carbon::command)),
        LeaderKey::press(HotKey::combo(0, carbon::control)),
        LeaderKey::press(HotKey::singleModifier(M::command)),
        LeaderKey::press(HotKey::singleModifier(M::shift)),
        LeaderKey::press(HotKey::singleModifier(M::option)),
        LeaderKey::press(HotKey::singleModifier(M::control)),
    };
    std::vector<LeaderKey> shuffled(expected.rbegin(), expected.rend());
    std::rotate(shuffled.begin(), shuffled.begin() + 5, shuffled.end());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, expected);
    EXPECT_FALSE(LeaderKey::hold(true, 1) < LeaderKey::hold(true, 1));
    EXPECT_TRUE((LeaderKey::HoldInfo{false, 100} < LeaderKey::HoldInfo{true, 0}));
    EXPECT_TRUE((LeaderKey::PressInfo{HotKey::combo(0, 0)} < LeaderKey::PressInfo{HotKey::singleModifier(M::command)}));
}

TEST(LeaderKey, EqualityAndHash) {
    EXPECT_EQ(LeaderKey::hold(true, 4), LeaderKey::hold(true, 4));
    EXPECT_NE(LeaderKey::hold(true, 4), LeaderKey::hold(false, 4));
    EXPECT_NE(LeaderKey::hold(false, 55), LeaderKey::press(HotKey::singleModifier(M::command)));
    EXPECT_EQ(test::hashOf(LeaderKey::hold(true, 4)), test::hashOf(LeaderKey::hold(true, 4)));
    EXPECT_NE(test::hashOf(LeaderKey::hold(true, 4)), test::hashOf(LeaderKey::hold(false, 4)));
    EXPECT_EQ(test::hashOf(LeaderKey::press(HotKey::combo(0, 256))), test::hashOf(LeaderKey::press(HotKey::combo(0, 256))));
    EXPECT_NE(test::hashOf(LeaderKey::press(HotKey::combo(0, 256))), test::hashOf(LeaderKey::hold(false, 0)));
}

TEST(LeaderKey, KindsAndCaseOfAValue) {
    EXPECT_EQ(std::vector<LeaderKey::Kind>(std::begin(allLeaderKeyKinds), std::end(allLeaderKeyKinds)),
              (std::vector<LeaderKey::Kind>{LeaderKey::Kind::hold, LeaderKey::Kind::press}));
    EXPECT_EQ(LeaderKey::hold(false, 1).kind(), LeaderKey::Kind::hold);
    EXPECT_EQ(LeaderKey::press(HotKey::combo(0, 0)).kind(), LeaderKey::Kind::press);
}

} // namespace
} // namespace tavlin
