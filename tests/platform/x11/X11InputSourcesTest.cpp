#include "X11TestSupport.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/x11/X11InputSources.h"

namespace tavlin {
namespace {

class X11InputSourcesTest : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!testing::run({"setxkbmap", "-version"})) GTEST_SKIP() << "setxkbmap is missing";
        sources = X11InputSources::open();
        ASSERT_TRUE(sources);
    }

    void TearDown() override {
        setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"}));
        sources.reset();
        XServerTest::TearDown();
    }

    void setLayouts(const std::string& layouts, const std::string& variants) {
        setKeymap({"-layout", layouts, "-variant", variants});
    }

    std::unique_ptr<X11InputSources> sources;
};

TEST_F(X11InputSourcesTest, theGroupsAreListedWithTheLayoutsOfTheRuleNames) {
    setLayouts("us,de", ",nodeadkeys");
    const auto listed = sources->list();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].id, "us");
    EXPECT_EQ(listed[0].name, "English (US)");
    EXPECT_EQ(listed[1].id, "de(nodeadkeys)");
    EXPECT_EQ(listed[1].name.rfind("German", 0), 0u) << listed[1].name;
}

TEST_F(X11InputSourcesTest, selectingAGroupMakesItCurrentAndKeyNamesFollowIt) {
    setLayouts("us,fr", ",");
    int changes = 0;
    sources->setChangeHandler([&] { ++changes; });
    settle([this] { sources->processPendingEvents(); });
    changes = 0;

    ASSERT_TRUE(sources->select("fr"));
    EXPECT_EQ(sources->currentIndex(), 1u);
    EXPECT_TRUE(pumpUntil([this] { sources->processPendingEvents(); }, [&] { return changes > 0; }));
    const auto french = sources->currentLayout();
    ASSERT_TRUE(french);
    EXPECT_EQ(french->displayText(12), "a"); // the key right of Tab
    ASSERT_TRUE(sources->updateCurrentKeyboardLayout());
    EXPECT_EQ(currentKeyboardLayout()->displayText(12), "a");

    ASSERT_TRUE(sources->selectGroup(0));
    EXPECT_EQ(sources->currentIndex(), 0u);
    ASSERT_TRUE(sources->updateCurrentKeyboardLayout());
    EXPECT_EQ(currentKeyboardLayout()->displayText(12), "q");
}

TEST_F(X11InputSourcesTest, unknownSourcesAreNotSelected) {
    setLayouts("us,fr", ",");
    EXPECT_FALSE(sources->select("de"));
    EXPECT_FALSE(sources->selectGroup(2));
    EXPECT_EQ(sources->currentIndex(), 0u);
}

} // namespace
} // namespace tavlin
