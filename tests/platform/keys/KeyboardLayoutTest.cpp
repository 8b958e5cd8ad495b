#include <gtest/gtest.h>

#include <string>

#include "platform/keys/KeyboardLayout.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin {
namespace {

std::shared_ptr<const KeyboardLayout> layout(const std::string& name, const std::string& variant = "") {
    auto result = KeyboardLayout::fromNames({.layout = name, .variant = variant});
    EXPECT_TRUE(result) << name;
    return result;
}

TEST(KeyboardLayout, UsKeysTypeTheirUnshiftedCharacters) {
    const auto us = layout("us");
    ASSERT_TRUE(us);
    EXPECT_EQ(us->displayText(0), "a");
    EXPECT_EQ(us->displayText(12), "q");
    EXPECT_EQ(us->displayText(6), "z");
    EXPECT_EQ(us->displayText(18), "1");
    EXPECT_EQ(us->displayText(50), "`");
    EXPECT_EQ(us->displayText(42), "\\");
    EXPECT_EQ(us->displayText(keycodes::space), " ");
    EXPECT_NE(us->name().find("English"), std::string::npos) << us->name();
}

TEST(KeyboardLayout, KeysThatTypeControlCharactersHaveEmptyText) {
    const auto us = layout("us");
    ASSERT_TRUE(us);
    for (const int key : {keycodes::returnKey, keycodes::escape, 48 /* tab */, 51 /* delete */, 117 /* fwd delete */,
                          76 /* keypad enter */, keycodes::shift, keycodes::command, keycodes::capsLock, 123 /* left arrow */}) {
        EXPECT_EQ(us->displayText(key), "") << key;
    }
}

TEST(KeyboardLayout, KeysWithoutAPositionGiveNothing) {
    const auto us = layout("us");
    ASSERT_TRUE(us);
    for (const int key : {-1, 52, 127, 128, 130, 100000}) {
        EXPECT_FALSE(us->displayText(key)) << key;
    }
}

TEST(KeyboardLayout, OtherLayoutsMoveLetters) {
    const auto fr = layout("fr");
    ASSERT_TRUE(fr);
    EXPECT_EQ(fr->displayText(12), "a");
    EXPECT_EQ(fr->displayText(0), "q");
    EXPECT_EQ(fr->displayText(13), "z");
    EXPECT_EQ(fr->displayText(18), "&");

    const auto de = layout("de");
    ASSERT_TRUE(de);
    EXPECT_EQ(de->displayText(16), "z");
    EXPECT_EQ(de->displayText(6), "y");
    EXPECT_EQ(de->displayText(41), "ö");
}

TEST(KeyboardLayout, DeadKeysShowTheirSpacingCharacter) {
    const auto de = layout("de");
    ASSERT_TRUE(de);
    EXPECT_EQ(de->displayText(50), "^");
    EXPECT_EQ(de->displayText(24), "´");
    EXPECT_EQ(layout("fr")->displayText(33), "^");
    EXPECT_EQ(layout("us", "intl")->displayText(39), "´");
}

TEST(KeyboardLayout, UnknownNamesGiveNoLayout) {
    EXPECT_FALSE(KeyboardLayout::fromNames({.layout = "no-such-layout"}));
    EXPECT_FALSE(KeyboardLayout::fromNames({.layout = "us", .variant = "no-such-variant"}));
}

TEST(KeyboardLayout, GroupsSelectLayoutsOfAMultiLayoutKeymap) {
    const KeyboardLayoutNames names{.layout = "us,fr"};
    const auto first = KeyboardLayout::fromNames(names, 0);
    const auto second = KeyboardLayout::fromNames(names, 1);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(first->displayText(12), "q");
    EXPECT_EQ(second->displayText(12), "a");
    EXPECT_FALSE(KeyboardLayout::fromNames(names, 2));
    EXPECT_FALSE(KeyboardLayout::fromNames({.layout = "us"}, 1));
    EXPECT_FALSE(KeyboardLayout::fromNames({.layout = "us"}, 0xFFFFFFFFu));
}

TEST(KeyboardLayout, ReadsKeymapText) {
    EXPECT_FALSE(KeyboardLayout::fromKeymapText(""));
    EXPECT_FALSE(KeyboardLayout::fromKeymapText("this is no keymap"));
    EXPECT_FALSE(KeyboardLayout::fromKeymapText(std::string("xkb_keymap {\0", 13)));

    const std::string text = R"(xkb_keymap {
        xkb_keycodes { minimum = 8; maximum = 255; <AD01> = 24; <AC01> = 38; <RTRN> = 36; };
        xkb_types { include "complete" };
        xkb_compat { include "complete" };
        xkb_symbols {
            name[Group1] = "Test";
            key <AD01> { [ x, X ] };
            key <AC01> { [ dead_circumflex ] };
            key <RTRN> { [ Return ] };
        };
    };)";
    const auto keymap = KeyboardLayout::fromKeymapText(text);
    ASSERT_TRUE(keymap);
    EXPECT_EQ(keymap->name(), "Test");
    EXPECT_EQ(keymap->displayText(12), "x");
    EXPECT_EQ(keymap->displayText(0), "^");
    EXPECT_EQ(keymap->displayText(keycodes::returnKey), "");
    // A key the keymap leaves out (X key code 25, between defined ones) types nothing.
    EXPECT_EQ(keymap->displayText(13), "");
    EXPECT_FALSE(KeyboardLayout::fromKeymapText(text, 1));
}

TEST(KeyboardLayout, CurrentLayoutIsTheOneLastSet) {
    const auto saved = currentKeyboardLayout();
    const auto fr = layout("fr");
    setCurrentKeyboardLayout(fr);
    EXPECT_EQ(currentKeyboardLayout(), fr);
    setCurrentKeyboardLayout(nullptr);
    EXPECT_FALSE(currentKeyboardLayout());
    setCurrentKeyboardLayout(saved);
    ASSERT_TRUE(currentKeyboardLayout());
    EXPECT_EQ(currentKeyboardLayout()->displayText(0), "a");
}

} // namespace
} // namespace tavlin
