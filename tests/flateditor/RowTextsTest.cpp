#include <gtest/gtest.h>

#include "FlatRows.h"
#include "flateditor/RowTexts.h"

namespace tavlin::flateditor {
namespace {

constexpr int A = 0, B = 11;

TEST(RowTexts, howToPressSentences) {
    EXPECT_EQ(leaderKeyExplanation(LeaderKey::hold(true, 49), {A, B}),
              "Hold Space and press A, B in sequence to trigger the action; press and release it quickly to input Space");
    EXPECT_EQ(leaderKeyExplanation(test::commandTap(), {A}),
              "Press and release Super quickly and then press A to trigger the action; hold Super and press other "
              "keys to trigger its original function.");
    EXPECT_EQ(leaderKeyExplanation(LeaderKey::hold(false, 40), {A}),
              "Hold K and press A to trigger the action; the key's original function is removed.");
    // Without trigger keys nothing stands between "quickly" and "to trigger".
    EXPECT_EQ(leaderKeyExplanation(LeaderKey::press(HotKey::combo(40, 0x1000 | 0x800)), {}),
              "Press and release Ctrl+Alt+K quickly to trigger the action; hold Ctrl+Alt+K and press other keys to trigger its "
              "original "
              "function.");
    EXPECT_EQ(leaderKeyExplanation(LeaderKey::hold(false, 49), {}),
              "Hold Space to trigger the action; the key's original function is removed.");
}

TEST(RowTexts, unknownKeyCodesAreNamedNotDropped) {
    EXPECT_EQ(badgeKeyNames({A, 250, B}), "A Unknow(250) B");
    EXPECT_NE(leaderKeyExplanation(LeaderKey::hold(true, 250), {A}).find("Hold Unknow(250) and press A"), std::string::npos);
}

TEST(RowTexts, badgeAndToggle) {
    EXPECT_EQ(enableToggleTooltip(true), "Click to disable this key binding");
    EXPECT_EQ(enableToggleTooltip(false), "Click to enable this key binding");
    EXPECT_EQ(badgeKeyNames({A, B}), "A B");
    EXPECT_EQ(badgeKeyNames({}), "");
    EXPECT_TRUE(leaderKeyShowsSpaceSymbol(LeaderKey::hold(true, 49)));
    EXPECT_FALSE(leaderKeyShowsSpaceSymbol(test::commandTap()));
    EXPECT_DOUBLE_EQ(leaderKeyOpacity(LeaderKey::hold(false, 49)), 0.7);
    EXPECT_DOUBLE_EQ(leaderKeyOpacity(LeaderKey::hold(true, 49)), 1.0);
    EXPECT_DOUBLE_EQ(leaderKeyOpacity(test::commandTap()), 1.0);
    EXPECT_EQ(rowKeysText(test::flatRow({A, B}, LeaderKey::press(HotKey::combo(40, 0x100)))), "Super+K A B");
}

TEST(RowTexts, onlyAnAbsentDescriptionFallsBackToTheActionsOwnText) {
    const Action described(Action::Kind::openURL{"https://example.com", std::nullopt}, "**bold**");
    EXPECT_TRUE(actionText(described).rich);
    EXPECT_EQ(actionText(described).text, "**bold**");
    const Action empty(Action::Kind::openURL{"https://example.com", std::nullopt}, "");
    EXPECT_TRUE(actionText(empty).rich);
    EXPECT_EQ(actionText(empty).text, "");
    const Action plain(Action::Kind::openURL{"https://example.com", std::nullopt});
    EXPECT_FALSE(actionText(plain).rich);
    EXPECT_EQ(actionText(plain).text, plain.kind.description());
}

} // namespace
} // namespace tavlin::flateditor
