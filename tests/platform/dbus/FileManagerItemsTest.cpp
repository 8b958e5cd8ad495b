#include <string>

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "platform/dbus/FileManagerItems.h"

namespace tavlin {
namespace {

// A file manager on the bus that records what it is asked to show.
class FakeFileManager final : public QDBusVirtualObject {
public:
    QStringList shown;
    QString startupID = QStringLiteral("unset");
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("ShowItems")) return false;
        const auto arguments = message.arguments();
        if (arguments.size() == 2) {
            shown << arguments[0].toStringList();
            startupID = arguments[1].toString();
        }
        connection.send(message.createReply());
        return true;
    }
};

TEST(FileManagerItemsTest, AFileManagerOnTheBusIsAskedToShowTheItem) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());
    EXPECT_FALSE(showItemsInFileManager(bus, "file:///tmp/a%20b.json"));

    // As another process would: a connection of its own owns the name.
    QDBusConnection manager = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file_manager"));
    ASSERT_TRUE(manager.isConnected());
    FakeFileManager fake;
    ASSERT_TRUE(manager.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fake));
    ASSERT_TRUE(manager.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    EXPECT_TRUE(showItemsInFileManager(bus, "file:///tmp/a%20b.json"));
    EXPECT_TRUE(test::spinUntil([&] { return !fake.shown.isEmpty(); }));
    EXPECT_EQ(fake.shown, QStringList{QStringLiteral("file:///tmp/a%20b.json")});
    EXPECT_EQ(fake.startupID, QString());

    manager.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    manager.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file_manager"));
}

} // namespace
} // namespace tavlin
