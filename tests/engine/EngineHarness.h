#pragma once

// The engine on simulated time: a virtual main queue, an in-process distributed centre, and
// fakes for the windows and the desktop, all installed as the shared services for one test.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ActionOutcomeListener.h"
#include "engine/ActionStatistics.h"
#include "engine/InputWindowManager.h"
#include "engine/Notifications.h"
#include "engine/ShellServices.h"
#include "model/Configuration.h"
#include "model/KeyNames.h"
#include "model/LeaderKeyCache.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/NotificationCenter.h"
#include "platform/desktop/UserNotifications.h"
#include "platform/desktop/Workspace.h"
#include "support/TempHome.h"

namespace tavlin::test {

// Becoming key and resigning call the delegate at once, as the real panel does.
class FakeInputWindow : public InputWindow {
public:
    void setDelegate(InputWindowDelegate* delegate) override { delegate_ = delegate; }
    bool isKeyWindow() const override { return key_; }
    void makeKeyAndOrderFront() override {
        ++shownCount;
        if (key_) return;
        key_ = true;
        if (delegate_) delegate_->inputWindowDidBecomeKey();
    }
    void orderOut() override {
        if (!key_) return;
        key_ = false;
        if (delegate_) delegate_->inputWindowDidResignKey();
    }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    void setFrameTopLeftPoint(const Point& point) override {
        frame_.x = point.x;
        frame_.y = point.y - frame_.height;
    }
    void center() override {
        ++centerCount;
        frame_.x = (screen.width - frame_.width) / 2;
        frame_.y = (screen.height - frame_.height) / 2;
    }
    std::optional<Rect> visibleScreenFrame() const override { return screen; }

    // A key typed in the window: pressed and released.
    void type(int keyCode) {
        press(keyCode);
        release(keyCode);
    }
    void press(int keyCode) { delegate_->inputWindowKeyDown(keyCode); }
    void release(int keyCode) { delegate_->inputWindowKeyUp(keyCode); }

    int shownCount = 0;
    int centerCount = 0;
    Rect screen{0, 0, 1920, 1080};

private:
    InputWindowDelegate* delegate_ = nullptr;
    bool key_ = false;
    Rect frame_{100, 100, 400, 300};
};

class FakeIndicatorWindow : public IndicatorWindow {
public:
    void show(const std::string& text) override {
        visible = true;
        shownTexts.push_back(text);
    }
    void orderOut() override { visible = false; }
    bool visible = false;
    std::vector<std::string> shownTexts;
};

class FakeWorkspace : public Workspace {
public:
    void openURL(const std::string& url, Completion completion) override {
        openedURLs.push_back(url);
        if (completion) completion(openURLSucceeds ? std::nullopt : std::optional<std::string>("xdg-open failed"));
    }
    void openURLs(const std::vector<std::string>& urls, const std::string& applicationPath, Completion completion) override {
        openedWithApplication.emplace_back(urls, applicationPath);
        completion(openWithApplicationError);
    }
    void openApplication(const std::string& path, Completion completion) override {
        launchedApplications.push_back(path);
        completion(launchError);
    }
    std::optional<std::string> executablePathOfApplication(const std::string& path) override {
        const auto found = executables.find(path);
        if (found == executables.end()) return std::nullopt;
        return found->second;
    }
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::vector<RunningApplication> runningApplications(const std::string&) override { return {}; }
    void activate(const RunningApplication& application) override { activated.push_back(application); }
    void hide(const RunningApplication& application) override { hidden.push_back(application); }
    bool isThisApplicationActive() override { return thisApplicationActive; }
    std::optional<std::string> runScript(const std::string& path, Completion completion) override {
        if (scriptCreationError) return scriptCreationError;
        ranScripts.push_back(path);
        completion(scriptRunError);
        return std::nullopt;
    }

    bool openURLSucceeds = true;
    std::optional<std::string> openWithApplicationError;
    std::optional<std::string> launchError;
    std::optional<std::string> scriptCreationError;
    std::optional<std::string> scriptRunError;
    std::map<std::string, std::string> executables;
    std::optional<RunningApplication> frontmost;
    bool thisApplicationActive = false;

    std::vector<std::string> openedURLs;
    std::vector<std::pair<std::vector<std::string>, std::string>> openedWithApplication;
    std::vector<std::string> launchedApplications;
    std::vector<RunningApplication> activated;
    std::vector<RunningApplication> hidden;
    std::vector<std::string> ranScripts;
};

// Every outcome posted on the local centre while it lives, as texts and decoded.
class OutcomeRecorder {
public:
    OutcomeRecorder() {
        token_ = NotificationCenter::local().addObserver(std::string(notificationNames::actionOutcomeEvent),
                                                         [this](const Notification& posted) {
                                                             if (auto outcome = actionOutcome(posted))
                                                                 outcomes.push_back(*outcome);
                                                         });
    }
    ~OutcomeRecorder() { NotificationCenter::local().removeObserver(token_); }
    OutcomeRecorder(const OutcomeRecorder&) = delete;
    OutcomeRecorder& operator=(const OutcomeRecorder&) = delete;

    std::vector<ActionOutcome> outcomes;

private:
    NotificationCenter::Token token_ = 0;
};

// JSON compared as receivers read it: whitespace and key order do not count.
inline nlohmann::json unorderedJson(const std::string& text) { return nlohmann::json::parse(text); }

inline ActionOutcome keyOutcome(std::int64_t keyCode) { return ActionOutcome(ActionOutcome::key{keyCode}); }
inline ActionOutcome messageOutcome(std::string text) { return ActionOutcome(ActionOutcome::message{std::move(text)}); }

class FakeUserNotificationCenter : public UserNotificationCenter {
public:
    void requestAuthorization(std::function<void(bool)> completion) override { completion(granted); }
    void add(const Request& request) override { delivered.push_back(request); }
    bool granted = true;
    std::vector<Request> delivered;
};

struct RecordedAlert {
    std::string messageText;
    std::string informativeText;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::setShared(&queue);
        DistributedNotificationCenter::setShared(&distributed);
        Workspace::setShared(&workspace);
        UserNotificationCenter::setCurrent(&notifications);
        previousPresenter = setAlertPresenter([this](const std::string& m, const std::string& i) { alerts.push_back({m, i}); });
        setHelperRunningProbe([this] { return helperRunning; });
        auto& manager = InputWindowManager::shared();
        manager.reset();
        manager.setWindows(&window, &indicator);
        manager.windowEventHandler = handleInputWindowEvent;
        ActionOutcomeListener::shared().cancel();
        currentLeaderKey().reset();
        cachedLeaderKeys().reset();
        FrontmostApplications::shared() = {};
        ShellServices::shared() = {};
        ExternalEventObserver::stop();
    }

    void TearDown() override {
        // The counts not written yet are bound to this test's queue and home: written now, as
        // at the end of the application, they cannot reach the next test.
        ActionStatistics::writePending();
        ExternalEventObserver::stop();
        ActionOutcomeListener::shared().cancel();
        auto& manager = InputWindowManager::shared();
        manager.reset();
        manager.setWindows(nullptr, nullptr);
        ShellServices::shared() = {};
        setHelperRunningProbe(nullptr);
        setAlertPresenter(previousPresenter);
        UserNotificationCenter::setCurrent(nullptr);
        Workspace::setShared(nullptr);
        DistributedNotificationCenter::setShared(nullptr);
        MainQueue::setShared(nullptr);
    }

    // Writes the configuration file the sessions read.
    void writeConfiguration(const DecisionPtr& root, std::vector<HotKey> hotKeys = {}) {
        Configuration(std::nullopt, std::move(hotKeys), root)
            .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    }

    // The helper requests posted so far, as receivers read them.
    std::vector<nlohmann::json> helperRequestsUnordered() const {
        std::vector<nlohmann::json> requests;
        for (const auto& posted : distributed.posted()) {
            if (posted.name == notificationNames::helperActionEvent && posted.object)
                requests.push_back(unorderedJson(*posted.object));
        }
        return requests;
    }

    // The JSON texts of the helper requests posted so far.
    std::vector<json::Value> helperRequests() const {
        std::vector<json::Value> requests;
        for (const auto& posted : distributed.posted()) {
            if (posted.name == notificationNames::helperActionEvent && posted.object)
                requests.push_back(json::parse(*posted.object));
        }
        return requests;
    }

    void startSession() {
        window.makeKeyAndOrderFront();
        queue.runUntilIdle();
    }

    void typeKey(int keyCode) {
        window.type(keyCode);
        queue.runUntilIdle();
    }

    // Settings read by the session; only touched from test bodies, inside the temporary HOME.
    static std::shared_ptr<UserDefaults> settingsStore() { return settings::appGroupStore(); }

    bool diagnosticsContain(const std::vector<std::string>& lines, const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    void postFromAnotherProcess(const Notification& notification) {
        distributed.post(notification);
        queue.runUntilIdle();
    }

    TempHome home;
    VirtualMainQueue queue;
    LoopbackDistributedNotificationCenter distributed;
    FakeWorkspace workspace;
    FakeUserNotificationCenter notifications;
    FakeInputWindow window;
    FakeIndicatorWindow indicator;
    std::vector<RecordedAlert> alerts;
    AlertPresenter previousPresenter;
    bool helperRunning = false;
};

inline Action act(Action::Kind kind) { return Action(std::move(kind)); }

inline ChancePtr keyChance(int keyCode, std::vector<Action> actions, std::vector<ChancePtr> chances = {}) {
    return Chance::make(Pattern(Pattern::Kind::key{{keyCode}}), Decision::make(std::move(actions), std::move(chances)));
}

inline ChancePtr messageChance(std::string regex, std::vector<Action> actions, std::vector<ChancePtr> chances = {}) {
    return Chance::make(Pattern(Pattern::Kind::message{std::move(regex)}),
                        Decision::make(std::move(actions), std::move(chances)));
}

} // namespace tavlin::test
