#include <vector>

#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "platform/dbus/DBusUserNotificationCenter.h"

namespace tavlin {
namespace {

using test::spinFor;
using test::spinUntil;

// A notification server on the private bus, on a connection of its own as another program's
// would be, that records every call it gets.
class FakeNotificationServer : public QDBusVirtualObject {
public:
    FakeNotificationServer()
        : connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake_notification_server"))) {
        registered_ = connection_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this) &&
                      connection_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~FakeNotificationServer() override {
        connection_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake_notification_server"));
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        calls.push_back(message);
        connection.send(message.createReply(QVariant::fromValue(quint32(calls.size()))));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    bool registered_ = false;
    std::vector<QDBusMessage> calls;

private:
    QDBusConnection connection_;
};

class UserNotificationCenterTest : public ::testing::Test {
protected:
    FakeNotificationServer server_;
    DBusUserNotificationCenter center_;
};

TEST_F(UserNotificationCenterTest, NotificationReachesTheServerAsANewBanner) {
    ASSERT_TRUE(server_.registered_);
    center_.add({"id-1", "Failed to open tavlin helper", std::string("No such file"), true});

    ASSERT_TRUE(spinUntil([&] { return !server_.calls.empty(); }));
    const QDBusMessage& call = server_.calls[0];
    EXPECT_EQ(call.interface(), "org.freedesktop.Notifications");
    EXPECT_EQ(call.member(), "Notify");
    EXPECT_EQ(call.signature(), "susssasa{sv}i");
    const QList<QVariant> arguments = call.arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), "tavlin");
    EXPECT_EQ(arguments[1].toUInt(), 0u); // never replaces an earlier banner
    EXPECT_EQ(arguments[3].toString(), "Failed to open tavlin helper");
    EXPECT_EQ(arguments[4].toString(), "No such file");
    EXPECT_TRUE(arguments[5].toStringList().isEmpty());
    EXPECT_EQ(arguments[7].toInt(), -1);
}

TEST_F(UserNotificationCenterTest, MissingSubtitleGivesAnEmptyBodyAndNoSoundWhenNoneIsAsked) {
    center_.add({"id-1", "Title", std::nullopt, false});

    ASSERT_TRUE(spinUntil([&] { return !server_.calls.empty(); }));
    const QList<QVariant> arguments = server_.calls[0].arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[4].toString(), QString());
    EXPECT_FALSE(qdbus_cast<QVariantMap>(arguments[6]).contains("sound-name"));
}

TEST_F(UserNotificationCenterTest, DefaultSoundIsAskedForByName) {
    center_.add({"id-1", "Title", std::nullopt, true});

    ASSERT_TRUE(spinUntil([&] { return !server_.calls.empty(); }));
    const QVariantMap hints = qdbus_cast<QVariantMap>(server_.calls[0].arguments().at(6));
    EXPECT_EQ(hints.value("sound-name").toString(), "message-new-instant");
}

TEST_F(UserNotificationCenterTest, TwoNotificationsWithEqualTitlesAreBothDelivered) {
    center_.add({"id-1", "Same", std::nullopt, true});
    center_.add({"id-2", "Same", std::nullopt, true});

    ASSERT_TRUE(spinUntil([&] { return server_.calls.size() >= 2; }));
    spinFor(std::chrono::milliseconds(50));
    ASSERT_EQ(server_.calls.size(), 2u);
    EXPECT_EQ(server_.calls[1].arguments().at(3).toString(), "Same");
}

} // namespace
} // namespace tavlin
