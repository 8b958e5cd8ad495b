#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "SessionBusTestSupport.h"
#include "platform/dbus/DistributedNotificationWire.h"
#include "platform/dbus/SessionBusPoster.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

using test::RawBusClient;

TEST(SessionBusPosterTest, APostIsOnTheBusWhenThePosterReturns) {
    RawBusClient watcher(test::qtTestBusAddress());
    watcher.watchPosts();

    std::string whyNot;
    ASSERT_TRUE(sessionBus::postNotification({"test.alpha", "{\"a\" : 1}"}, &whyNot)) << whyNot;
    ASSERT_TRUE(sessionBus::postNotification({"test.alpha", std::nullopt}, &whyNot)) << whyNot;
    // Too big for one write to the socket: only a flush gets all of it out before we hang up.
    const std::string largest(distributedWire::maximumObjectBytes, 'x');
    ASSERT_TRUE(sessionBus::postNotification({"test.alpha", largest}, &whyNot)) << whyNot;

    // Each post's connection is closed by now; the bus still routes what it was given.
    const auto posts = watcher.waitForPosts(3);
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(posts[0].signature, "ss");
    EXPECT_EQ(posts[0].strings, (std::vector<std::string>{"test.alpha", "{\"a\" : 1}"}));
    EXPECT_EQ(posts[1].strings, (std::vector<std::string>{"test.alpha", ""}));
    EXPECT_TRUE(posts[2].strings.size() == 2 && posts[2].strings[1] == largest);
}

TEST(SessionBusPosterTest, TextsThatAreNotValidOnTheBusAreRepaired) {
    RawBusClient watcher(test::qtTestBusAddress());
    watcher.watchPosts();

    // libdbus refuses such strings outright (by aborting the process).
    ASSERT_TRUE(sessionBus::postNotification({"test.\xC3", std::string("x\0y\xE2\x82", 5)}));

    const auto posts = watcher.waitForPosts(1);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].strings, (std::vector<std::string>{"test.\xEF\xBF\xBD", "x\xEF\xBF\xBDy\xEF\xBF\xBD"}));
    EXPECT_EQ(distributedWire::wireText("plain ä text"), "plain ä text");
}

TEST(SessionBusPosterTest, OversizedObjectsAreRefused) {
    RawBusClient watcher(test::qtTestBusAddress());
    watcher.watchPosts();

    std::string whyNot;
    EXPECT_FALSE(
        sessionBus::postNotification({"test.alpha", std::string(distributedWire::maximumObjectBytes + 1, 'x')}, &whyNot));
    EXPECT_EQ(whyNot, "the object is larger than 1 MiB");
    EXPECT_TRUE(watcher.postsSoFar().empty());
}

class SessionBusAddressTest : public ::testing::Test {
protected:
    test::SavedEnvironment saved_{"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"};
    test::TempHome home_;
};

TEST_F(SessionBusAddressTest, AnUnreachableBusIsReportedNotFatal) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home_.root() / "no-bus").string()).c_str(), 1);
    std::string whyNot;
    EXPECT_FALSE(sessionBus::postNotification({"test.alpha", "1"}, &whyNot));
    EXPECT_FALSE(whyNot.empty());
}

TEST_F(SessionBusAddressTest, WithoutAnAddressTheUsersRuntimeSocketIsUsedAndNothingIsAutolaunched) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::setenv("XDG_RUNTIME_DIR", home_.root().c_str(), 1);
    EXPECT_EQ(sessionBus::address(), std::nullopt);
    std::string whyNot;
    EXPECT_FALSE(sessionBus::postNotification({"test.alpha", "1"}, &whyNot));
    EXPECT_EQ(whyNot, "DBUS_SESSION_BUS_ADDRESS is not set and $XDG_RUNTIME_DIR/bus does not exist");

    // The test bus listens on <folder>/bus: make that folder the runtime directory.
    const std::string testAddress = test::qtTestBusAddress();
    const std::string prefix = "unix:path=";
    ASSERT_TRUE(testAddress.starts_with(prefix));
    std::string socket = testAddress.substr(prefix.size());
    socket = socket.substr(0, socket.find(','));
    ASSERT_TRUE(socket.ends_with("/bus"));
    ::setenv("XDG_RUNTIME_DIR", socket.substr(0, socket.size() - 4).c_str(), 1);

    EXPECT_EQ(sessionBus::address(), "unix:path=" + socket);
    RawBusClient watcher(testAddress);
    watcher.watchPosts();
    EXPECT_TRUE(sessionBus::postNotification({"test.alpha", "1"}));
    EXPECT_EQ(watcher.waitForPosts(1).size(), 1u);
}

} // namespace
} // namespace tavlin
