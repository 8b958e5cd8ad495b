#include <string>

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "platform/dbus/HelperBusProbe.h"
#include "platform/desktop/HelperApplication.h"

namespace tavlin {
namespace {

TEST(HelperBusProbeTest, FollowsWhetherAnotherConnectionOwnsTheHelperName) {
    const QString name = QString::fromLatin1(helperBundleIdentifier.data(), helperBundleIdentifier.size());
    EXPECT_FALSE(helperRunningOnSessionBus());

    // The helper stands in as a second connection of its own, as another process would be.
    QDBusConnection helper = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("helper_stand_in"));
    ASSERT_TRUE(helper.isConnected());
    ASSERT_TRUE(helper.registerService(name));
    EXPECT_TRUE(helperRunningOnSessionBus());

    ASSERT_TRUE(helper.unregisterService(name));
    EXPECT_FALSE(helperRunningOnSessionBus());
    QDBusConnection::disconnectFromBus(QStringLiteral("helper_stand_in"));
}

} // namespace
} // namespace tavlin
