#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <QtCore/QCoreApplication>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "SessionBusTestSupport.h"
#include "platform/base/Diagnostics.h"
#include "platform/dbus/DBusDistributedNotificationCenter.h"
#include "platform/dbus/DistributedNotificationWire.h"

namespace tavlin {
namespace {

using test::RawBusClient;
using test::spinFor;
using test::spinUntil;

constexpr const char* externalEvent = "local.tavlin.notification_names.external_event";

class DistributedNotificationCenterTest : public ::testing::Test {
protected:
    // Subscriptions go out without waiting for the bus; a round trip on the same connection
    // makes sure they are in force before another program posts.
    static void syncWithBus() {
        const QDBusMessage reply = DBusDistributedNotificationCenter::sessionBusConnection().call(
            QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    }

    DistributedNotificationCenter::Token record(const std::string& name, std::vector<Notification>& into) {
        return center_.addObserver(name, [&into](const Notification& notification) { into.push_back(notification); });
    }

    DBusDistributedNotificationCenter center_;
};

TEST_F(DistributedNotificationCenterTest, NotificationPostedWithDbusSendReachesTheObserver) {
    ASSERT_TRUE(center_.isConnected());
    std::vector<Notification> received;
    record(externalEvent, received);
    syncWithBus();

    const std::string json = "{\n  \"type_key\" : {\"info\" : {\"keyCode\" : 5}}\n}";
    const auto sent = test::runProcess({"dbus-send", "--session", "--type=signal", "/local/tavlin/DistributedNotificationCenter",
                                        "local.tavlin.DistributedNotificationCenter.Post", std::string("string:") + externalEvent,
                                        "string:" + json});
    ASSERT_EQ(sent.exitStatus, 0) << sent.standardError;

    ASSERT_TRUE(spinUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received[0].name, externalEvent);
    EXPECT_EQ(received[0].object, json);
    spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(DistributedNotificationCenterTest, PostsGoOutInTheWireFormAndComeBackToOwnObservers) {
    RawBusClient watcher(test::qtTestBusAddress());
    watcher.watchPosts();
    std::vector<Notification> received;
    record("test.alpha", received);
    syncWithBus();

    center_.post({"test.alpha", "{\"a\": 1}"});
    center_.post({"test.alpha", std::nullopt});

    const auto posts = watcher.waitForPosts(2);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].signature, "ss");
    EXPECT_EQ(posts[0].strings, (std::vector<std::string>{"test.alpha", "{\"a\": 1}"}));
    // No object travels as the empty string and arrives as no object.
    EXPECT_EQ(posts[1].strings, (std::vector<std::string>{"test.alpha", ""}));
    ASSERT_TRUE(spinUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0].object, "{\"a\": 1}");
    EXPECT_EQ(received[1].object, std::nullopt);
}

TEST_F(DistributedNotificationCenterTest, NotificationsArriveInPostingOrderFromTheStart) {
    // Right after the connection is made (each test runs in a process of its own) is when
    // QtDBus's default session connection could hand a later message over first.
    std::vector<std::string> received;
    center_.addObserver("test.alpha", [&](const Notification& notification) { received.push_back(*notification.object); });
    std::vector<std::string> sent;
    // Messages keep arriving while the loop turns: some before delivery starts, some as it does.
    for (int i = 0; i < 2000; ++i) {
        sent.push_back(std::to_string(i));
        center_.post({"test.alpha", sent.back()});
        if (i >= 1000) QCoreApplication::processEvents();
    }

    ASSERT_TRUE(spinUntil([&] { return received.size() == sent.size(); }));
    EXPECT_EQ(received, sent);
}

TEST_F(DistributedNotificationCenterTest, TextsThatAreNotValidOnTheBusAreRepairedAndTheConnectionSurvives) {
    std::vector<Notification> received;
    record("test.alpha", received);
    syncWithBus();

    center_.post({"test.alpha", std::string("a\xFF"
                                            "b\0c",
                                            5)});
    center_.post({"test.alpha", "after"});

    ASSERT_TRUE(spinUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0].object,
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c");
    EXPECT_EQ(received[1].object, "after");
    EXPECT_TRUE(center_.isConnected());
}

TEST_F(DistributedNotificationCenterTest, ObserversSeeOnlyTheirNames) {
    std::vector<Notification> alpha;
    std::vector<Notification> beta;
    record("test.alpha", alpha);
    record("test.beta", beta);
    syncWithBus();
    RawBusClient sender(test::qtTestBusAddress());

    sender.sendPost({"test.gamma", "1"});
    sender.sendPost({"test.beta", "2"});
    sender.sendPost({"test.alpha", "3"});

    ASSERT_TRUE(spinUntil([&] { return !alpha.empty(); }));
    ASSERT_EQ(alpha.size(), 1u);
    EXPECT_EQ(alpha[0].object, "3");
    ASSERT_EQ(beta.size(), 1u);
    EXPECT_EQ(beta[0].object, "2");
}

TEST_F(DistributedNotificationCenterTest, MalformedAndOversizedPostsAreDroppedAndLaterOnesStillArrive) {
    diag::Capture capture;
    std::vector<Notification> received;
    record("test.alpha", received);
    syncWithBus();
    RawBusClient sender(test::qtTestBusAddress());

    sender.sendPost({"test.alpha"});
    sender.sendPost({"test.alpha", "x", "y"});
    sender.sendPost({"test.alpha"}, 5);
    sender.sendPost({"test.alpha", std::string(distributedWire::maximumObjectBytes + 1, 'x')});
    sender.sendPost({"test.alpha", std::string(distributedWire::maximumObjectBytes, 'y')});
    sender.sendPost({"test.alpha", "marker"});

    // One sender's signals arrive in order: once the marker is here, the rest has been handled.
    ASSERT_TRUE(spinUntil([&] { return !received.empty() && received.back().object == "marker"; }));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].object, std::string(distributedWire::maximumObjectBytes, 'y'));
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"Dropped distributed notification test.alpha: its object has 1048577 bytes, "
                                        "more than 1 MiB"}));
}

TEST_F(DistributedNotificationCenterTest, OversizedObjectsAreNotSent) {
    RawBusClient watcher(test::qtTestBusAddress());
    watcher.watchPosts();
    diag::Capture capture;

    center_.post({"test.alpha", std::string(distributedWire::maximumObjectBytes + 1, 'x')});
    center_.post({"test.alpha", std::string(distributedWire::maximumObjectBytes, 'y')}); // the largest sent
    center_.post({"test.alpha", "marker"});

    const auto posts = watcher.waitForPosts(2);
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].strings.at(1), std::string(distributedWire::maximumObjectBytes, 'y'));
    EXPECT_EQ(posts[1].strings.at(1), "marker");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Did not post distributed notification test.alpha: its "
                                                         "object has 1048577 bytes, more than 1 MiB"}));
}

TEST_F(DistributedNotificationCenterTest, ObserversMayRemoveObserversWhileTheyRun) {
    int firstCalls = 0;
    int secondCalls = 0;
    int thirdCalls = 0;
    DistributedNotificationCenter::Token first = 0;
    DistributedNotificationCenter::Token third = 0;
    first = center_.addObserver("test.alpha", [&](const Notification&) {
        ++firstCalls;
        center_.removeObserver(first); // itself, while it runs
        center_.removeObserver(third); // one that has not run yet for this notification
    });
    center_.addObserver("test.alpha", [&](const Notification&) { ++secondCalls; });
    third = center_.addObserver("test.alpha", [&](const Notification&) { ++thirdCalls; });
    syncWithBus();

    center_.post({"test.alpha", "1"});
    center_.post({"test.alpha", "2"});

    ASSERT_TRUE(spinUntil([&] { return secondCalls == 2; }));
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(thirdCalls, 0);
}

TEST_F(DistributedNotificationCenterTest, ANameStaysSubscribedUntilItsLastObserverIsRemoved) {
    std::vector<Notification> first;
    std::vector<Notification> second;
    std::vector<Notification> marker;
    const auto firstToken = record("test.alpha", first);
    const auto secondToken = record("test.alpha", second);
    record("test.marker", marker);
    syncWithBus();

    center_.removeObserver(firstToken);
    center_.post({"test.alpha", "1"});
    ASSERT_TRUE(spinUntil([&] { return second.size() == 1; }));
    EXPECT_TRUE(first.empty());

    center_.removeObserver(secondToken);
    center_.removeObserver(secondToken); // twice: ignored
    center_.post({"test.alpha", "2"});
    center_.post({"test.marker", "done"});
    ASSERT_TRUE(spinUntil([&] { return marker.size() == 1; }));
    EXPECT_EQ(second.size(), 1u);
}

// A session's wait takes one message and is armed anew for the next: a burst sent back to back
// must reach the waits one by one, none lost while the observers change hands, in order.
TEST_F(DistributedNotificationCenterTest, ABurstReachesObserversThatReplaceThemselvesOneByOne) {
    std::vector<std::string> received;
    std::function<void()> arm;
    DistributedNotificationCenter::Token token = 0;
    arm = [&] {
        token = center_.addObserver("test.alpha", [&](const Notification& notification) {
            center_.removeObserver(token);
            received.push_back(*notification.object);
            arm();
        });
    };
    arm();
    syncWithBus();
    RawBusClient sender(test::qtTestBusAddress());
    std::vector<std::string> sent;
    for (int i = 0; i < 300; ++i) {
        sent.push_back(std::to_string(i));
        sender.sendPost({"test.alpha", sent.back()});
    }
    sender.sendPost({"test.marker", "done"});
    ASSERT_TRUE(spinUntil([&] { return received.size() == sent.size(); }))
        << received.size() << " of " << sent.size() << " received";
    EXPECT_EQ(received, sent);
}

// Messages wait for the main thread in a bounded inbox: while it is busy, the oldest go (one
// line for them all), the newest arrive, and everything is in order.
TEST(DistributedNotificationCenterInboxTest, ABacklogBeyondTheLimitLosesItsOldestWithOneLine) {
    diag::Capture capture;
    DBusDistributedNotificationCenter center(DBusDistributedNotificationCenter::sessionBusConnection(),
                                             {.messages = 10, .bytes = 1 << 20});
    std::vector<std::string> received;
    center.addObserver("test.alpha", [&](const Notification& notification) { received.push_back(*notification.object); });
    DBusDistributedNotificationCenter::sessionBusConnection().call(
        QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
    RawBusClient sender(test::qtTestBusAddress());
    for (int i = 0; i < 100; ++i) sender.sendPost({"test.alpha", std::to_string(i)});
    // The main thread is busy (its loop does not turn) while the reader thread takes all 100.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (center.receivedCount() < 100 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(center.receivedCount(), 100u);

    ASSERT_TRUE(spinUntil([&] { return !received.empty() && received.back() == "99"; }));
    ASSERT_LE(received.size(), 12u) << "a backlog of more than the limit was kept";
    for (std::size_t i = 1; i < received.size(); ++i) EXPECT_LT(std::stoi(received[i - 1]), std::stoi(received[i]));
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].starts_with("Dropped ")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" distributed notifications: they came faster than they could be handled")) << lines[0];
}

TEST(DistributedNotificationCenterLifetimeTest, NotificationsArrivingAfterTheCenterIsGoneAreHarmless) {
    int calls = 0;
    {
        DBusDistributedNotificationCenter center;
        center.addObserver("test.alpha", [&](const Notification&) { ++calls; });
        DBusDistributedNotificationCenter::sessionBusConnection().call(
            QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"));
        RawBusClient sender(test::qtTestBusAddress());
        sender.sendPost({"test.alpha", "1"});
        // The bus routes it to us while the centre still lives; the loop has not delivered it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace tavlin
