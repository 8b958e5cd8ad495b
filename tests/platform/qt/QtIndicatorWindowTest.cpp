#include <gtest/gtest.h>

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

#include "platform/base/Diagnostics.h"
#include "platform/qt/QtIndicatorWindow.h"
#include "support/QtTestApplication.h"

namespace tavlin::qt {
namespace {

class QtIndicatorWindowTest : public ::testing::Test {
protected:
    void SetUp() override { test::offscreenApplication(); }
    QScreen* screen() const { return QGuiApplication::primaryScreen(); }
};

TEST_F(QtIndicatorWindowTest, AScreenWithoutTopPanelStillGetsAReadablePill) {
    // The offscreen screen has no panel: the panel rule alone would give a negative height.
    ASSERT_EQ(screen()->availableGeometry(), screen()->geometry());
    EXPECT_EQ(QtIndicatorWindow::pillHeight(screen(), 0), 20);
    diag::Capture capture;
    EXPECT_EQ(QtIndicatorWindow::pillHeight(nullptr, 0), 20);
}

TEST_F(QtIndicatorWindowTest, APercentageIsOfTheScreenHeightAndStaysOnScreen) {
    const double height = screen()->geometry().height();
    EXPECT_DOUBLE_EQ(QtIndicatorWindow::pillHeight(screen(), 5), height * 5 / 100);
    EXPECT_DOUBLE_EQ(QtIndicatorWindow::pillHeight(screen(), 500), height);
    EXPECT_EQ(QtIndicatorWindow::pillHeight(screen(), -3), 20);
}

TEST_F(QtIndicatorWindowTest, ShownAtTheTopLeftOfThePrimaryScreenUntilOrderedOut) {
    QtIndicatorWindow indicator([] { return 0.0; });
    indicator.show("⌘");
    EXPECT_TRUE(indicator.isVisible());
    EXPECT_EQ(indicator.text(), QStringLiteral("⌘"));
    EXPECT_EQ(indicator.geometry().topLeft(), screen()->geometry().topLeft());
    EXPECT_GE(indicator.height(), 20);
    EXPECT_TRUE(screen()->geometry().contains(indicator.geometry()));
    indicator.orderOut();
    EXPECT_FALSE(indicator.isVisible());
}

TEST_F(QtIndicatorWindowTest, NeverTakesTheFocusOrTheClicks) {
    QtIndicatorWindow indicator([] { return 0.0; });
    EXPECT_TRUE(indicator.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(indicator.windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(indicator.windowFlags() & Qt::WindowStaysOnTopHint);
}

} // namespace
} // namespace tavlin::qt
