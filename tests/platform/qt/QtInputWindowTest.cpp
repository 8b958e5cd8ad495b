#include <vector>

#include <gtest/gtest.h>

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>

#include "platform/qt/QtInputWindow.h"
#include "support/QtTestApplication.h"

namespace tavlin::qt {
namespace {

struct RecordingDelegate : InputWindowDelegate {
    std::vector<std::string> events;
    void inputWindowDidBecomeKey() override { events.push_back("key"); }
    void inputWindowDidResignKey() override { events.push_back("resign"); }
    void inputWindowKeyDown(int keyCode) override { events.push_back("down " + std::to_string(keyCode)); }
    void inputWindowKeyUp(int keyCode) override { events.push_back("up " + std::to_string(keyCode)); }
};

class QtInputWindowTest : public ::testing::Test {
protected:
    void SetUp() override { window.setDelegate(&delegate); }
    QRect screen() const { return QGuiApplication::primaryScreen()->geometry(); }

    QApplication& application = test::offscreenApplication(); // before any widget
    RecordingDelegate delegate;
    QtInputWindow window;
};

TEST_F(QtInputWindowTest, FramesAreMeasuredUpwardsFromThePrimaryScreensBottom) {
    const int bottom = screen().y() + screen().height();
    const Rect frame{100, 50, 400, 200};
    EXPECT_EQ(QtInputWindow::geometryOfFrame(frame), QRect(100, bottom - 250, 400, 200));
    EXPECT_EQ(QtInputWindow::frameOfGeometry(QtInputWindow::geometryOfFrame(frame)), frame);
}

TEST_F(QtInputWindowTest, TopLeftPointPlacesTheTopEdge) {
    window.setContent(new QLabel("content"));
    window.setFrameTopLeftPoint({30, 500});
    const Rect frame = window.frame();
    EXPECT_EQ(frame.x, 30);
    EXPECT_EQ(frame.y + frame.height, 500);
}

TEST_F(QtInputWindowTest, KeyLastsFromMakingKeyToOrderingOutAndIsReportedOnce) {
    window.makeKeyAndOrderFront();
    window.makeKeyAndOrderFront(); // already key: no second session
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_TRUE(window.isVisible());
    window.orderOut();
    window.orderOut();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"key", "resign"}));
}

TEST_F(QtInputWindowTest, AClickOutsideEndsTheSessionAndOneInsideDoesNot) {
    window.setContent(new QLabel("content"));
    window.makeKeyAndOrderFront();
    const QRect geometry = window.geometry();
    window.pointerPressedAt(geometry.center());
    EXPECT_TRUE(window.isKeyWindow());
    window.pointerPressedAt(geometry.bottomRight() + QPoint(5, 5));
    EXPECT_FALSE(window.isKeyWindow());
    // Clicks while no session runs do nothing.
    window.pointerPressedAt(geometry.bottomRight() + QPoint(5, 5));
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"key", "resign"}));
}

// An alert shown in the middle of a session must get the keys: the session gives way to it.
TEST_F(QtInputWindowTest, AModalWindowShownDuringASessionEndsIt) {
    QWidget other;
    window.makeKeyAndOrderFront();
    other.show(); // not modal: the session goes on
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isKeyWindow());

    QDialog alert;
    alert.setModal(true);
    alert.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"key", "resign"}));

    // No session opens behind the alert: it would hold the keyboard and get no key.
    window.makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(alert.isVisible());
    EXPECT_EQ(delegate.events.size(), 2u);
}

TEST_F(QtInputWindowTest, HeightFollowsTheContentAndWidthStaysTheUsers) {
    auto* label = new QLabel("one line");
    window.setContent(label);
    window.setFrame({0, 300, 500, 40});
    const int oneLine = window.height();
    EXPECT_EQ(window.width(), 500);
    label->setText("one\ntwo\nthree\nfour");
    QCoreApplication::sendPostedEvents();
    EXPECT_GT(window.height(), oneLine);
    EXPECT_GE(window.width(), 500);
}

TEST_F(QtInputWindowTest, AnEmptyWindowStillExists) {
    window.setContent(new QWidget());
    window.setFrame({0, 0, 0, 0});
    EXPECT_GE(window.width(), 1);
    EXPECT_GE(window.height(), 1);
}

TEST_F(QtInputWindowTest, VisibleScreenFrameIsThePrimaryScreensAvailableArea) {
    const auto visible = window.visibleScreenFrame();
    ASSERT_TRUE(visible);
    EXPECT_EQ(*visible, QtInputWindow::frameOfGeometry(QGuiApplication::primaryScreen()->availableGeometry()));
    window.setContent(new QLabel("content"));
    window.center();
    EXPECT_TRUE(visible->contains(window.frame()));
}

} // namespace
} // namespace tavlin::qt
