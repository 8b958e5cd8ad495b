// The engine as the application runs it: the Qt event loop's main queue and the session bus,
// driven by other processes (the command-line client and dbus-send).

#include <gtest/gtest.h>

#include "QtTestSession.h"
#include "SessionBusTestSupport.h"
#include "engine/EngineHarness.h"
#include "platform/dbus/DBusDistributedNotificationCenter.h"
#include "platform/dbus/QtMainQueue.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;

class EngineOverBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::setShared(&queue);
        DistributedNotificationCenter::setShared(&center);
        Workspace::setShared(&workspace);
        UserNotificationCenter::setCurrent(&notifications);
        previousPresenter = setAlertPresenter([this](const std::string& m, const std::string&) { alerts.push_back(m); });
        auto& manager = InputWindowManager::shared();
        manager.reset();
        manager.setWindows(&window, &indicator);
        manager.windowEventHandler = handleInputWindowEvent;
        ActionOutcomeListener::shared().cancel();
        currentLeaderKey().reset();
        ExternalEventObserver::start();
        // The two key chances make a session that waits for a message, then for a key.
        Configuration(
            std::nullopt, {},
            Decision::make({},
                           {messageChance("hello", {}, {keyChance(5, {act(K::openURL{"https://five.example", std::nullopt})})})}))
            .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    }

    void TearDown() override {
        ExternalEventObserver::stop();
        ActionOutcomeListener::shared().cancel();
        InputWindowManager::shared().reset();
        InputWindowManager::shared().setWindows(nullptr, nullptr);
        setAlertPresenter(previousPresenter);
        UserNotificationCenter::setCurrent(nullptr);
        Workspace::setShared(nullptr);
        DistributedNotificationCenter::setShared(nullptr);
        MainQueue::setShared(nullptr);
    }

    static ProcessResult client(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{TAVLIN_EXECUTABLE};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runProcess(command);
    }

    static ProcessResult dbusSend(const std::string& name, const std::string& object) {
        return runProcess({"dbus-send", "--session", "--type=signal", "/local/tavlin/DistributedNotificationCenter",
                           "local.tavlin.DistributedNotificationCenter.Post", "string:" + name, "string:" + object});
    }

    TempHome home;
    QtMainQueue queue;
    DBusDistributedNotificationCenter center;
    FakeWorkspace workspace;
    FakeUserNotificationCenter notifications;
    FakeInputWindow window;
    FakeIndicatorWindow indicator;
    std::vector<std::string> alerts;
    AlertPresenter previousPresenter;
};

TEST_F(EngineOverBusTest, ClientAndDbusSendDriveASession) {
    ASSERT_TRUE(center.isConnected());
    // An external start from the client opens the window and runs the root decision.
    ASSERT_EQ(client({"ke", "start"}).exitStatus, 0);
    ASSERT_TRUE(spinUntil([&] { return window.isKeyWindow() && ActionOutcomeListener::shared().isWaiting(); }));

    // A message outcome from the client is matched by the message chance.
    ASSERT_EQ(client({"message", "hello"}).exitStatus, 0);
    ASSERT_TRUE(spinUntil([&] {
        return InputWindowManager::shared().currentStates() && InputWindowManager::shared().currentStates()->history.size() == 1;
    }));

    // A key typed by another program through dbus-send ends the walk at the leaf.
    ASSERT_EQ(dbusSend("local.tavlin.notification_names.external_event", R"({"type_key": {"info": {"keyCode": 5}}})").exitStatus,
              0);
    ASSERT_TRUE(spinUntil([&] { return !workspace.openedURLs.empty(); }));
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{"https://five.example"});
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EngineOverBusTest, GarbageFromOtherProcessesIsDroppedAndTheSessionGoesOn) {
    ASSERT_EQ(client({"ke", "start"}).exitStatus, 0);
    ASSERT_TRUE(spinUntil([&] { return ActionOutcomeListener::shared().isWaiting(); }));
    diag::Capture capture;
    ASSERT_EQ(dbusSend("local.tavlin.notification_names.action_outcome_event", "{not json").exitStatus, 0);
    ASSERT_EQ(
        dbusSend("local.tavlin.notification_names.external_event", R"({"type_key": {}, "end_key_sequence": {}})").exitStatus, 0);
    ASSERT_EQ(client({"message", "hello"}).exitStatus, 0);
    ASSERT_TRUE(spinUntil([&] {
        return InputWindowManager::shared().currentStates() && InputWindowManager::shared().currentStates()->history.size() == 1;
    }));
    EXPECT_TRUE(window.isKeyWindow());

    // The end event from the client closes the window for good.
    ASSERT_EQ(client({"ke", "end"}).exitStatus, 0);
    ASSERT_TRUE(spinUntil([&] { return !window.isKeyWindow(); }));
    EXPECT_FALSE(InputWindowManager::shared().requireReactivateOnce);
}

} // namespace
} // namespace tavlin::test
