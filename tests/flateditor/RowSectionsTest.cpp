#include <gtest/gtest.h>

#include "FlatRows.h"
#include "flateditor/RowSections.h"

namespace tavlin::flateditor {
namespace {

using test::flatRow;
using test::idsOf;
using test::Scope;

constexpr int A = 0, B = 11, C = 8;

TEST(RowSections, absentAndEmptyListsGiveNoSections) {
    EXPECT_TRUE(groupRows(std::nullopt).empty());
    EXPECT_TRUE(groupRows(std::vector<FlatKeysAndActionRow>{}).empty());
}

TEST(RowSections, onlyScopesComeFirstAndAllApplicationsLast) {
    const auto everywhere = flatRow({A});
    const auto oneApp = flatRow({B}, test::commandTap(), Scope::only({"/usr/share/applications/x.desktop"}));
    const auto exceptOne = flatRow({C}, test::commandTap(), Scope::allBut({"/a.desktop"}));
    const auto exceptThree = flatRow({C}, test::commandTap(), Scope::allBut({"/a.desktop", "/b.desktop", "/c.desktop"}));
    const auto sections = groupRows(std::vector{everywhere, exceptOne, oneApp, exceptThree});
    ASSERT_EQ(sections.size(), 4u);
    EXPECT_EQ(sections[0].sectionAppScope, oneApp.applicationScope);
    EXPECT_EQ(sections[1].sectionAppScope, exceptThree.applicationScope);
    EXPECT_EQ(sections[2].sectionAppScope, exceptOne.applicationScope);
    EXPECT_EQ(sections[3].sectionAppScope, Scope::allBut());
    EXPECT_EQ(sectionHeaderTitle(sections[3].sectionAppScope), "Available In All Applications");
    EXPECT_TRUE(sectionHeaderPaths(sections[3].sectionAppScope).empty());
}

TEST(RowSections, scopesListingTheSamePathsShareOneSection) {
    auto first = flatRow({A}, test::commandTap(), Scope::only({"/x.desktop", "/y.desktop"}));
    auto second = flatRow({B}, test::commandTap(), Scope::only({"/y.desktop", "/x.desktop"}));
    const auto sections = groupRows(std::vector{first, second});
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(idsOf(sections[0].rows), idsOf({first, second}));
}

TEST(RowSections, rowsOfOneSectionOrderByLeaderKeyThenKeyNames) {
    const auto hold = flatRow({B}, LeaderKey::hold(false, 49));
    const auto holdKeeping = flatRow({A}, LeaderKey::hold(true, 49));
    const auto combo = flatRow({A}, LeaderKey::press(HotKey::combo(40, 0x100)));
    const auto command = flatRow({A});
    EXPECT_EQ(idsOf(sortedRows({command, combo, holdKeeping, hold})), idsOf({hold, holdKeeping, combo, command}));

    const auto none = flatRow({});
    const auto a = flatRow({A});
    const auto ab = flatRow({A, B});
    const auto ac = flatRow({A, C});
    const auto b = flatRow({B});
    const auto bAgain = flatRow({B});
    EXPECT_EQ(idsOf(sortedRows({b, ac, bAgain, ab, a, none})), idsOf({none, a, ab, ac, b, bAgain}));
}

TEST(RowSections, keyNamesCompareCanonicallyNotByBytes) {
    // Rows that differ only in the spelling of one name keep their stored order; upper case
    // comes before lower case.
    EXPECT_FALSE(rowOrderLess(flatRow({A}), flatRow({A})));
    const auto paths = sectionHeaderPaths(Scope::allBut({"/Applications/b.app", "/Applications/A.app", "/Applications/Z.app",
                                                         "/Applications/a.app", "/e\xCC\x81.app", "/\xC3\xA9z.app"}));
    // "é" decomposed sorts with its composed form, not before every other letter.
    EXPECT_EQ(paths, (std::vector<std::string>{"/Applications/A.app", "/Applications/Z.app", "/Applications/a.app",
                                               "/Applications/b.app", "/e\xCC\x81.app", "/\xC3\xA9z.app"}));
}

TEST(RowSections, headerTextsFollowTheScope) {
    const auto except = Scope::allBut({"/Applications/b.app", "/Applications/A.app"});
    EXPECT_EQ(sectionHeaderTitle(except), "Available In All Applications Except");
    EXPECT_EQ(sectionHeaderSymbol(except), "a.square.fill");
    EXPECT_TRUE(sectionHeaderIconsInGrayscale(except));
    EXPECT_EQ(sectionHeaderPaths(except), (std::vector<std::string>{"/Applications/A.app", "/Applications/b.app"}));
    EXPECT_EQ(sectionHeaderIconTooltip(except, "/Applications/A.app"),
              "This key binding is NOT available in /Applications/A.app");

    const auto only = Scope::only({});
    EXPECT_EQ(sectionHeaderTitle(only), "Available In");
    EXPECT_EQ(sectionHeaderSymbol(only), "a.square");
    EXPECT_FALSE(sectionHeaderIconsInGrayscale(only));
    EXPECT_EQ(sectionHeaderIconTooltip(only, "/x"), "This key binding is available in /x");
}

} // namespace
} // namespace tavlin::flateditor
