#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QProcess>
#include <QtDBus/QDBusConnection>

#include "app/SingleInstance.h"
#include "support/QtTestApplication.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::app {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) TAVLIN_SKIP_WITHOUT_DESKTOP("no session bus");
        test::offscreenApplication();
    }

    static QDBusConnection connection(const QString& name) {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

    // Calls a method of the running application from another process, as a second start does.
    static bool callFromAnotherProcess(const QStringList& methodAndArguments) {
        QProcess process;
        QStringList arguments{"--session", "--print-reply", "--dest=local.tavlin", "/local/tavlin/Application"};
        arguments << methodAndArguments;
        process.start("dbus-send", arguments);
        if (!process.waitForStarted(5000)) return false;
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
};

TEST_F(SingleInstanceTest, OneOwnerAnswersActivateAndOpenURL) {
    int activations = 0;
    std::vector<std::string> urls;
    SingleInstance first(connection("first"));
    ASSERT_EQ(first.claim({[&] { ++activations; }, [&](const std::string& url) { urls.push_back(url); }}),
              SingleInstance::Claim::owned);
    {
        SingleInstance second(connection("second"));
        EXPECT_EQ(second.claim({}), SingleInstance::Claim::heldByAnother);
    }
    ASSERT_TRUE(callFromAnotherProcess({"local.tavlin.Application.Activate"}));
    ASSERT_TRUE(callFromAnotherProcess({"local.tavlin.Application.OpenURL", "string:tavlin://show-configuration-window"}));
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(urls, std::vector<std::string>{"tavlin://show-configuration-window"});
}

TEST_F(SingleInstanceTest, TheNameIsFreeAgainWhenTheOwnerGoes) {
    {
        SingleInstance first(connection("first-gone"));
        ASSERT_EQ(first.claim({}), SingleInstance::Claim::owned);
    }
    SingleInstance next(connection("next"));
    EXPECT_EQ(next.claim({}), SingleInstance::Claim::owned);
}

TEST_F(SingleInstanceTest, ForwardingWithoutAnOwnerFails) {
    SingleInstance lone(connection("lone"));
    EXPECT_FALSE(lone.forward(""));
}

} // namespace
} // namespace tavlin::app
