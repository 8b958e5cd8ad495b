#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/NotificationCenter.h"
#include "platform/desktop/UserNotifications.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/UserDefaults.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/text/PeopleWords.h"
#include "support/SharedState.h"
#include "support/TempHome.h"

extern char** environ;

namespace tavlin::test {
namespace {

std::vector<std::function<void()>>& registeredResets() {
    static std::vector<std::function<void()>> resets;
    return resets;
}

std::map<std::string, std::string> currentEnvironment() {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) variables.emplace(text.substr(0, equals), text.substr(equals + 1));
    }
    return variables;
}

void restoreEnvironment(const std::map<std::string, std::string>& saved) {
    for (const auto& [name, value] : currentEnvironment()) {
        if (!saved.count(name)) ::unsetenv(name.c_str());
    }
    for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
}

// The children of this process, of all its threads.
std::set<pid_t> childProcesses() {
    std::set<pid_t> children;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        std::ifstream list(it->path() / "children");
        for (pid_t pid; list >> pid;) children.insert(pid);
    }
    return children;
}

// A test's own children end with it; one that ends later would be left unreaped, a zombie that
// the next test finds among its children. Waits a while for each (it was told to end, or ends
// by itself soon) and reaps it; children from before the test are the program's own.
void reapChildrenStartedSince(const std::set<pid_t>& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (const pid_t child : childProcesses()) {
        if (before.count(child)) continue;
        const int processFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(child, &status, WNOHANG);
            if (done != 0 && !(done < 0 && errno == EINTR)) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (processFd >= 0) {
                pollfd watch{processFd, POLLIN, 0};
                ::poll(&watch, 1, static_cast<int>(left.count()));
            } else {
                ::usleep(2000);
            }
        }
        if (processFd >= 0) ::close(processFd);
    }
}

// Key names and the order of key patterns follow the current layout; the suites expect the
// US layout whatever the machine's default is.
void useUSLayout() { setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"})); }

class SharedStateReset : public ::testing::EmptyTestEventListener {
private:
    void OnTestStart(const ::testing::TestInfo&) override {
        environment_ = currentEnvironment();
        children_ = childProcesses();
        diag::silence("");
        home_.emplace();
    }

    // Runs after the fixture is gone, so whatever the test's own objects left behind is undone too.
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (const auto& reset : registeredResets()) reset();
        reapChildrenStartedSince(children_);
        MainQueue::setShared(nullptr);
        DistributedNotificationCenter::setShared(nullptr);
        Workspace::setShared(nullptr);
        UserNotificationCenter::setCurrent(nullptr);
        setAlertPresenter(nullptr);
        setHelperRunningProbe(nullptr);
        words::setApplicationNameSource(nullptr);
        diag::silence("");
        useUSLayout();
        home_.reset();
        restoreEnvironment(environment_);
        followEnvironmentInGLib();
        UserDefaults::resetSharedSuites();
    }

    std::map<std::string, std::string> environment_;
    std::set<pid_t> children_;
    std::optional<TempHome> home_;
};

} // namespace

void resetAfterEachTest(std::function<void()> reset) { registeredResets().push_back(std::move(reset)); }

} // namespace tavlin::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tavlin::test::useUSLayout();
    ::testing::UnitTest::GetInstance()->listeners().Append(new tavlin::test::SharedStateReset);
    return RUN_ALL_TESTS();
}
