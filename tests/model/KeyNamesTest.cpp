#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "model/KeyNames.h"
#include "model/LeaderKey.h"
#include "model/Pattern.h"
#include "platform/base/Diagnostics.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/text/Unicode.h"

namespace tavlin {
namespace {

std::size_t positionOf(int code, const std::vector<int>& codes) {
    const auto at = indexOfKeyCode(code, codes);
    EXPECT_TRUE(at) << code << " is not in the list";
    return at.value_or(codes.size());
}

TEST(KeyNames, UsLayoutNamesAndFallbacks) {
    EXPECT_EQ(keyName(0), "A");
    EXPECT_EQ(keyName(11), "B");
    EXPECT_EQ(keyName(29), "0");
    EXPECT_EQ(keyName(42), "\\");
    EXPECT_EQ(keyName(50), "`");
    EXPECT_EQ(keyName(36), "Return (Enter)");
    EXPECT_EQ(keyName(122), "F1");
    EXPECT_EQ(keyName(53), "Escape");
    // Space has no entry: it is named by the fallback only.
    EXPECT_EQ(keyName(49), "Space");
    EXPECT_EQ(keyNameIfKnown(49), std::nullopt);
    EXPECT_EQ(keyName(10), "Unknow(10)");
    EXPECT_EQ(keyNameIfKnown(10), std::nullopt);
    EXPECT_EQ(keyName(-3), "Unknow(-3)");
}

// People read the PC keyboard's names; stored and matched texts keep the key-code names.
TEST(KeyNames, ShownNamesFollowThePcKeyboard) {
    const std::pair<int, std::string> shown[] = {{51, "Backspace"}, {117, "Delete"}, {114, "Insert"}, {71, "Num Lock"},
                                                 {36, "Enter"},     {0, "A"},        {49, "Space"}};
    for (const auto& [code, name] : shown) EXPECT_EQ(shownKeyName(code), name) << code;
    EXPECT_EQ(keyName(51), "Delete");
    const Pattern::Kind pattern = Pattern::Kind::key{{51, 117}};
    EXPECT_EQ(pattern.description(), "Key: [\"Delete\", \"Forward Delete\"]");
    EXPECT_EQ(pattern.shownText(), "Key: [\"Backspace\", \"Delete\"]");
    EXPECT_EQ(shownText(LeaderKey::press(HotKey::combo(36, carbon::command))), "Super+Enter");
}

TEST(KeyNames, KeyNamesKeepListOrderAndUseFallbacks) {
    EXPECT_EQ(keyNames({}), std::vector<std::string>{});
    EXPECT_EQ(keyNames({11, 0, 49, 10}), (std::vector<std::string>{"B", "A", "Space", "Unknow(10)"}));
}

TEST(KeyNames, FixedNamesCoverEveryAvailableKey) {
    const KeyNameTable fixed(nullptr);
    const auto& codes = availableMainKeyCodesForStandardLayout();
    ASSERT_EQ(codes.size(), 100u);
    EXPECT_EQ(std::set<int>(codes.begin(), codes.end()).size(), 100u) << "a code is listed twice";
    for (const int code : codes) EXPECT_TRUE(fixed.nameIfKnown(code)) << code;
    EXPECT_EQ(fixed.nameIfKnown(53), "Escape");
    EXPECT_EQ(fixed.nameIfKnown(49), std::nullopt);
    EXPECT_EQ(fixed.nameIfKnown(0), "A");
    EXPECT_EQ(fixed.nameIfKnown(47), ".");
    EXPECT_EQ(fixed.nameIfKnown(90), "F20");
    EXPECT_EQ(fixed.nameIfKnown(117), "Forward Delete");
    EXPECT_EQ(fixed.nameIfKnown(91), "Keypad 8");
    // Space and Escape are not keys a pattern can be sorted by.
    EXPECT_FALSE(indexOfKeyCode(49, codes));
    EXPECT_FALSE(indexOfKeyCode(53, codes));
}

TEST(KeyNames, SortedCodesOnUsLayoutAreLettersThenStandardOrder) {
    const auto& sorted = sortedAvailableKeyCodes();
    const auto& standard = availableMainKeyCodesForStandardLayout();
    ASSERT_EQ(sorted.size(), standard.size());
    EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), standard.begin()));
    // A to Z, by name.
    std::string letters;
    for (std::size_t i = 0; i < 26; ++i) letters += keyName(sorted[i]);
    EXPECT_EQ(letters, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // Every other key keeps the standard order: digits, punctuation, keypad, the rest.
    EXPECT_TRUE(std::equal(sorted.begin() + 26, sorted.end(), standard.begin() + 26));
    EXPECT_EQ(sorted[26], 29); // "0"
    EXPECT_EQ(sorted.back(), 126);
}

TEST(KeyNames, FrenchLayoutNamesAndOrder) {
    const auto layout = KeyboardLayout::fromNames({.layout = "fr"});
    if (!layout) GTEST_SKIP() << "no French keymap on this system";
    const KeyNameTable table(layout.get());

    // Key 12 types a and key 0 types q; single letters are upper-cased, accented ones too.
    EXPECT_EQ(table.nameIfKnown(12), "A");
    EXPECT_EQ(table.nameIfKnown(0), "Q");
    EXPECT_EQ(table.nameIfKnown(29), "À");
    // Digits and symbols keep their text unchanged.
    EXPECT_EQ(table.nameIfKnown(18), "&");
    EXPECT_EQ(table.nameIfKnown(46), ",");
    // Keys outside the character keys keep their fixed names.
    EXPECT_EQ(table.nameIfKnown(36), "Return (Enter)");

    const auto& sorted = table.sortedAvailableKeyCodes();
    ASSERT_EQ(sorted.size(), 100u);
    EXPECT_EQ(std::vector<int>(sorted.begin(), sorted.begin() + 3), (std::vector<int>{12, 11, 8}));
    EXPECT_EQ(positionOf(0, sorted), 16u); // where Q sorts among A to Z

    // The single letters come first in text order (plain letters, then À Ç È É Ù by scalar
    // value); every other key follows in the standard order.
    std::size_t letterCount = 0;
    while (letterCount < sorted.size() && unicode::isSingleLetter(*table.nameIfKnown(sorted[letterCount]))) ++letterCount;
    EXPECT_EQ(letterCount, 31u);
    for (std::size_t i = 1; i < letterCount; ++i) {
        EXPECT_TRUE(unicode::canonicalLess(*table.nameIfKnown(sorted[i - 1]), *table.nameIfKnown(sorted[i]))) << i;
    }
    EXPECT_EQ(std::vector<int>(sorted.begin() + 26, sorted.begin() + 31), (std::vector<int>{29, 25, 26, 19, 39}));
    const auto& standard = availableMainKeyCodesForStandardLayout();
    for (std::size_t i = letterCount + 1; i < sorted.size(); ++i) {
        EXPECT_LT(positionOf(sorted[i - 1], standard), positionOf(sorted[i], standard)) << i;
    }
    // Key 46 types a comma: it leaves the letters and is the first key after them.
    EXPECT_EQ(sorted[letterCount], 46);
    EXPECT_GT(positionOf(18, sorted), positionOf(13, sorted));
}

TEST(KeyNames, KeyCodeOrder) {
    EXPECT_TRUE(keyCodeOrder(0, 11)); // A before B
    EXPECT_FALSE(keyCodeOrder(11, 0));
    EXPECT_FALSE(keyCodeOrder(0, 0)); // equal names
    EXPECT_TRUE(keyCodeOrder(6, 29)); // a letter before a digit
    EXPECT_FALSE(keyCodeOrder(29, 6));
    EXPECT_TRUE(keyCodeOrder(29, 18)); // "0" before "1" in the standard order
    EXPECT_TRUE(keyCodeOrder(47, 65)); // punctuation before keypad
    EXPECT_FALSE(keyCodeOrder(126, 36));
}

TEST(KeyNames, KeyCodeOrderReportsKeysItCannotPlace) {
    diag::Capture capture;
    EXPECT_FALSE(keyCodeOrder(49, 0));
    EXPECT_FALSE(keyCodeOrder(0, 10));
    // Escape has a name but no place in the standard order.
    EXPECT_FALSE(keyCodeOrder(53, 36));
    EXPECT_FALSE(keyCodeOrder(36, 53));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "failed to find keyCodeString for 49 or 0",
                                   "failed to find keyCodeString for 0 or 10",
                                   "unexpected found nil index while accessing index of 53 or 36 in "
                                   "availableMainKeyCodesForStandardLayout",
                                   "unexpected found nil index while accessing index of 36 or 53 in "
                                   "availableMainKeyCodesForStandardLayout",
                               }));
    // A letter outranks a key without a place, without asking for its position.
    capture.clear();
    EXPECT_TRUE(keyCodeOrder(0, 53));
    EXPECT_TRUE(capture.lines().empty());
}

TEST(KeyNames, IndexOfKeyCodeIsTheFirstPosition) {
    EXPECT_EQ(indexOfKeyCode(5, {1, 5, 7, 5}), 1u);
    EXPECT_EQ(indexOfKeyCode(9, {1, 5}), std::nullopt);
    EXPECT_EQ(indexOfKeyCode(0, {}), std::nullopt);
}

TEST(KeyNames, ModifierSymbols) {
    EXPECT_EQ(modifierSymbols(0x1300), "⌃⇧⌘"); // control, shift, command
    EXPECT_EQ(modifierSymbols(0x1900), "⌃⌥⌘"); // control, option, command
    EXPECT_EQ(modifierSymbols(0x1B00), "⌃⌥⇧⌘");
    EXPECT_EQ(modifierSymbols(carbon::option), "⌥");
    EXPECT_EQ(modifierSymbols(0), "");
    // Bits other than the four modifiers are ignored.
    EXPECT_EQ(modifierSymbols(0x0400 | 0x00FF | 0x2000 | carbon::command), "⌘");
}

} // namespace
} // namespace tavlin
