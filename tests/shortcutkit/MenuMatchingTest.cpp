#include <gtest/gtest.h>

#include "platform/keys/KeyboardEvents.h"
#include "platform/keys/KeyboardLayout.h"
#include "shortcutkit/MenuMatching.h"

namespace tavlin::shortcutkit {
namespace {

using namespace eventFlags;

class MenuMatchingTest : public ::testing::Test {
protected:
    void SetUp() override { setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"})); }
    static MenuItem item(std::string title, std::string key, std::uint64_t mask) {
        return MenuItem{std::move(title), std::move(key), mask, nullptr};
    }
    static const std::string* title(const Menu& menu, const Shortcut& shortcut) {
        const MenuItem* found = itemMatching(menu, shortcut);
        return found ? &found->title : nullptr;
    }
};

TEST_F(MenuMatchingTest, upperCaseKeyEquivalentsStandForShift) {
    const Shortcut shiftCommandA(keys::a.rawValue, carbon::shift | carbon::command);
    Menu upper{{item("Upper", "A", command)}};
    Menu lower{{item("Lower", "a", shift | command)}};
    ASSERT_TRUE(title(upper, shiftCommandA));
    EXPECT_EQ(*title(upper, shiftCommandA), "Upper");
    ASSERT_TRUE(title(lower, shiftCommandA));
    EXPECT_EQ(*title(lower, shiftCommandA), "Lower");
    // Masks are compared whole.
    EXPECT_FALSE(title(lower, Shortcut(keys::a.rawValue, carbon::command)));
    EXPECT_FALSE(title(Menu{{item("Plain", "a", command)}}, shiftCommandA));
}

TEST_F(MenuMatchingTest, functionKeyCharactersNeverMatch) {
    const Shortcut f5(keys::f5.rawValue, 0);
    Menu menu{{item("Reload", f5.keyEquivalent(), 0)}};
    EXPECT_FALSE(title(menu, f5));
}

TEST_F(MenuMatchingTest, searchIsDepthFirstInItemOrder) {
    const Shortcut controlShiftQ(keys::q.rawValue, carbon::control | carbon::shift);
    auto inner = std::make_shared<Menu>(Menu{{item("Inner", "q", control | shift)}});
    MenuItem file = item("File", "", 0);
    file.submenu = inner;
    Menu menu{{item("Before", "w", control), file, item("After", "q", control | shift)}};
    ASSERT_TRUE(title(menu, controlShiftQ));
    EXPECT_EQ(*title(menu, controlShiftQ), "Inner");
    EXPECT_FALSE(title(menu, Shortcut(keys::z.rawValue, carbon::control)));
    EXPECT_FALSE(title(Menu{}, controlShiftQ));
}

} // namespace
} // namespace tavlin::shortcutkit
