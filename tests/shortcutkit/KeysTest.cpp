#include <gtest/gtest.h>

#include "platform/keys/KeyboardEvents.h"
#include "platform/keys/KeyboardLayout.h"
#include "shortcutkit/Keys.h"

namespace tavlin::shortcutkit {
namespace {

const std::string replacement = "\xEF\xBF\xBD";
const std::string globe = "\U0001F310\uFE0E";

// Puts the US layout back whatever a test installed.
class KeyTextTest : public ::testing::Test {
protected:
    void TearDown() override { setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"})); }
};

TEST(ModifierSymbols, FixedOrderWhateverTheFlags) {
    using namespace eventFlags;
    EXPECT_EQ(modifierFlagsDescription(0), "");
    EXPECT_EQ(modifierFlagsDescription(capsLock), "");
    EXPECT_EQ(modifierFlagsDescription(capsLock | numericPad), "");
    EXPECT_EQ(modifierFlagsDescription(command | shift), "\u21E7\u2318");
    EXPECT_EQ(modifierFlagsDescription(function | command | shift | option | control | capsLock),
              "\u2303\u2325\u21E7\u2318" + globe);
    EXPECT_EQ(modifierFlagsDescription(function), globe);
}

TEST(ShortcutModifiers, OnlyTheFourModifierBitsSurvive) {
    EXPECT_EQ(Shortcut(0, 0x1F00).carbonModifiers, 0x1B00);
    EXPECT_EQ(Shortcut(0, 0x00FF).carbonModifiers, 0);
    EXPECT_EQ(Shortcut(0, carbon::command | carbon::control).modifiers(), eventFlags::command | eventFlags::control);
    EXPECT_EQ(carbonModifiers(eventFlags::function | eventFlags::capsLock | eventFlags::option), carbon::option);
}

TEST_F(KeyTextTest, DescriptionPutsModifierNamesBeforeTheUpperCasedKey) {
    EXPECT_EQ(Shortcut(keys::a.rawValue, carbon::command | carbon::shift).description(), "Super+Shift+A");
    EXPECT_EQ(Shortcut(keys::a.rawValue, carbon::command | carbon::shift | carbon::option | carbon::control).description(),
              "Super+Ctrl+Alt+Shift+A");
    EXPECT_EQ(Shortcut(keys::one.rawValue, 0).description(), "1");
    EXPECT_EQ(Shortcut(keys::leftArrow.rawValue, carbon::option).description(), "Alt+\u2190");
}

TEST_F(KeyTextTest, SpecialKeysHaveFixedTextsAndMenusOnlyReplaceLongOnes) {
    const Shortcut space(keys::space.rawValue, 0);
    EXPECT_EQ(space.description(), "\u23B5");
    // The menu table has a space, but the space's text is one character and wins.
    EXPECT_EQ(space.keyEquivalent(), "\u23B5");

    const Shortcut f12(keys::f12.rawValue, carbon::command);
    EXPECT_EQ(f12.description(), "Super+F12");
    EXPECT_EQ(f12.keyEquivalent(), "\uF70F");
    EXPECT_EQ(Shortcut(keys::f1.rawValue, 0).keyEquivalent(), "\uF704");
    EXPECT_EQ(Shortcut(keys::f20.rawValue, 0).keyEquivalent(), "\uF717");

    // "?" with an enclosing circle is one character on screen.
    EXPECT_EQ(Shortcut(keys::help.rawValue, 0).keyEquivalent(), "?\u20DD");
    EXPECT_EQ(specialKeyTexts().size(), 35u);
    EXPECT_EQ(functionKeyEquivalents().size(), 21u);
}

TEST_F(KeyTextTest, LayoutKeysKeepTheLayoutsCaseForMenus) {
    EXPECT_EQ(Shortcut(keys::a.rawValue, 0).keyToCharacter(), "a");
    EXPECT_EQ(Shortcut(keys::a.rawValue, 0).keyEquivalent(), "a");
    EXPECT_EQ(Shortcut(keys::slash.rawValue, 0).keyEquivalent(), "/");
}

TEST_F(KeyTextTest, KeysWithoutTextShowTheReplacementCharacter) {
    EXPECT_EQ(Shortcut(70000, carbon::command).keyToCharacter(), std::nullopt);
    EXPECT_EQ(Shortcut(70000, carbon::command).description(), "Super+" + replacement);
    EXPECT_EQ(Shortcut(-1, 0).description(), replacement);
    EXPECT_EQ(Shortcut(70000, 0).keyEquivalent(), "");
}

TEST_F(KeyTextTest, ALayoutChangeShowsAtOnce) {
    const Shortcut a(keys::a.rawValue, carbon::command);
    EXPECT_EQ(a.description(), "Super+A");
    const auto french = KeyboardLayout::fromNames({.layout = "fr"});
    ASSERT_TRUE(french);
    setCurrentKeyboardLayout(french);
    EXPECT_EQ(a.description(), "Super+Q");
    EXPECT_EQ(a.keyEquivalent(), "q");
}

TEST_F(KeyTextTest, WithoutAnyLayoutOnlyFixedTextsRemain) {
    setCurrentKeyboardLayout(nullptr);
    EXPECT_EQ(Shortcut(keys::a.rawValue, 0).description(), replacement);
    EXPECT_EQ(Shortcut(keys::a.rawValue, 0).keyEquivalent(), "");
    EXPECT_EQ(Shortcut(keys::f5.rawValue, 0).description(), "F5");
    EXPECT_EQ(Shortcut(keys::f5.rawValue, 0).keyEquivalent(), "\uF708");
}

} // namespace
} // namespace tavlin::shortcutkit
