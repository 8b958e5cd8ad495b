#include "X11TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "platform/linux/ApplicationCatalog.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11WindowSystem.h"
#include "support/SharedState.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using tavlin::test::writeFile;

// The window system asks the shared catalog, which keeps the entries of the folders it read
// until GIO reports a change: each test reads those of its own home.
const bool catalogForgottenAfterEachTest =
    (tavlin::test::resetAfterEachTest([] { xdg::ApplicationCatalog::shared().invalidate(); }), true);

// A process other than this one, for windows that belong to someone else: `sleep`, started
// directly and ended with the test.
class OtherProcess {
public:
    OtherProcess() {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            const char failed = 1;
            [[maybe_unused]] auto written = ::write(pipe[1], &failed, 1);
            ::_exit(127);
        }
        ::close(pipe[1]);
        // The close-on-exec pipe ends without a byte once `sleep` runs.
        char byte = 0;
        ssize_t got;
        while ((got = ::read(pipe[0], &byte, 1)) < 0 && errno == EINTR) {
        }
        ::close(pipe[0]);
        started_ = pid_ > 0 && got == 0;
    }
    ~OtherProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    bool started() const { return started_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool started_ = false;
};

// Without a window manager on the test server, the tests play its part: they create the
// windows, give them processes and classes, and write the root's EWMH properties.
class X11WindowSystemTest : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        d_ = display();
        root_ = DefaultRootWindow(d_);
        activeWindow_ = XInternAtom(d_, "_NET_ACTIVE_WINDOW", False);
        clientList_ = XInternAtom(d_, "_NET_CLIENT_LIST", False);
        pid_ = XInternAtom(d_, "_NET_WM_PID", False);
        wmCheck_ = XInternAtom(d_, "_NET_SUPPORTING_WM_CHECK", False);
        changeState_ = XInternAtom(d_, "WM_CHANGE_STATE", False);
        // The tests would fight a real window manager over the root's properties.
        if (rootHas(wmCheck_)) GTEST_SKIP() << "a window manager runs on this display";
        clearRootProperties();

        // Only the entries of this test's home.
        ::setenv("XDG_DATA_DIRS", (home_.root() / "no-system-entries").c_str(), 1);
        tavlin::test::followEnvironmentInGLib();
        applications_ = home_.dataHome() / "applications";
        writeFile(applications_ / "org.example.Probe.desktop",
                  "[Desktop Entry]\nType=Application\nName=Probe\nExec=true\nStartupWMClass=TavlinProbe\n");
        writeFile(applications_ / "org.example.Sleeper.desktop",
                  "[Desktop Entry]\nType=Application\nName=Sleeper\nExec=sleep\nStartupWMClass=Sleeper\n");
        other_.emplace();
        ASSERT_TRUE(other_->started()) << "cannot start sleep";
        system_ = openSystem();
        ASSERT_TRUE(system_);
    }

    void TearDown() override {
        system_.reset();
        if (d_) {
            // Some are gone already (with their parent, or by the test's hand).
            x11::ErrorTrap trap(d_);
            for (Window window : windows_) XDestroyWindow(d_, window);
            trap.sync();
            clearRootProperties();
            XSelectInput(d_, root_, NoEventMask);
            XSync(d_, False);
        }
        other_.reset();
        XServerTest::TearDown();
    }

    // Once the shared catalog has read this test's entries.
    std::unique_ptr<X11WindowSystem> openSystem() {
        auto& catalog = xdg::ApplicationCatalog::shared();
        catalog.invalidate();
        catalog.entries();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!catalog.isCurrent() && std::chrono::steady_clock::now() < deadline) {
            xdg::ApplicationCatalog::dispatchPendingChanges();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(catalog.isCurrent());
        return X11WindowSystem::open();
    }

    bool rootHas(Atom property) {
        int count = 0;
        Atom* properties = XListProperties(d_, root_, &count);
        const bool found = std::find(properties, properties + count, property) != properties + count;
        if (properties) XFree(properties);
        return found;
    }

    void clearRootProperties() {
        for (Atom property : {activeWindow_, clientList_, wmCheck_}) XDeleteProperty(d_, root_, property);
        XSync(d_, False);
    }

    // A top-level window (or a child of `parent`) with the process and WM_CLASS bytes given.
    Window makeWindow(std::optional<long> pid, const std::string& wmClass, bool mapped = false, Window parent = None) {
        const Window window = XCreateSimpleWindow(d_, parent ? parent : root_, 0, 0, 20, 20, 0, 0, 0);
        windows_.push_back(window);
        if (pid) setCardinal(window, pid_, *pid);
        if (!wmClass.empty()) {
            XChangeProperty(d_, window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(wmClass.data()), static_cast<int>(wmClass.size()));
        }
        if (mapped) XMapWindow(d_, window);
        XSync(d_, False);
        return window;
    }
    Window ownWindow(bool mapped = false) {
        return makeWindow(::getpid(), std::string("tavlin-probe\0TavlinProbe\0", 25), mapped);
    }
    // Only the instance part, which then stands for the class.
    Window otherWindow(bool mapped = false) { return makeWindow(other_->pid(), std::string("Sleeper\0", 8), mapped); }

    Window vanishedWindow() {
        const Window window = XCreateSimpleWindow(d_, root_, 0, 0, 20, 20, 0, 0, 0);
        setCardinal(window, pid_, ::getpid());
        XDestroyWindow(d_, window);
        XSync(d_, False);
        return window;
    }

    void setCardinal(Window window, Atom property, long value) {
        XChangeProperty(d_, window, property, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&value), 1);
    }
    void setWindows(Window window, Atom property, std::vector<Window> windows) {
        std::vector<long> values(windows.begin(), windows.end());
        XChangeProperty(d_, window, property, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(values.data()),
                        static_cast<int>(values.size()));
        XSync(d_, False);
    }
    void setActive(Window window) { setWindows(root_, activeWindow_, {window}); }
    void setClientList(std::vector<Window> windows) { setWindows(root_, clientList_, std::move(windows)); }

    // Client messages sent to the root are seen by every client that selects substructure
    // notices there; no redirection, so requests of the window system still take effect.
    void watchRootMessages() {
        XSelectInput(d_, root_, SubstructureNotifyMask);
        XSync(d_, False);
    }
    std::vector<XClientMessageEvent> rootMessages(Atom type) {
        // The window system synchronised its requests: what it sent is here by our round trip.
        XSync(d_, False);
        std::vector<XClientMessageEvent> messages;
        while (XPending(d_) > 0) {
            XEvent event;
            XNextEvent(d_, &event);
            if (event.type == ClientMessage && event.xclient.message_type == type) messages.push_back(event.xclient);
        }
        return messages;
    }

    Window focus() {
        Window focused = None;
        int revert = 0;
        XGetInputFocus(d_, &focused, &revert);
        return focused;
    }
    // Whether `upper` is stacked above `lower` among the root's children.
    bool isAbove(Window upper, Window lower) {
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        XQueryTree(d_, root_, &rootReturn, &parent, &children, &count);
        const auto upperAt = std::find(children, children + count, upper);
        const auto lowerAt = std::find(children, children + count, lower);
        const bool above = upperAt != children + count && lowerAt != children + count && upperAt > lowerAt;
        if (children) XFree(children);
        return above;
    }

    RunningApplication application(pid_t pid, const std::string& id, const std::string& name) {
        RunningApplication expected;
        expected.processIdentifier = pid;
        expected.bundlePath = (applications_ / (id + ".desktop")).string();
        expected.bundleIdentifier = id;
        expected.localizedName = name;
        expected.executablePath = fs::canonical("/proc/" + std::to_string(pid) + "/exe").string();
        return expected;
    }
    RunningApplication probe() { return application(::getpid(), "org.example.Probe", "Probe"); }
    RunningApplication sleeper() { return application(other_->pid(), "org.example.Sleeper", "Sleeper"); }

    void pump() { system_->processPendingEvents(); }

    tavlin::test::SavedEnvironment savedDataDirs_{"XDG_DATA_DIRS"};
    tavlin::test::TempHome home_;
    fs::path applications_;
    std::optional<OtherProcess> other_;
    std::unique_ptr<X11WindowSystem> system_;
    Display* d_ = nullptr;
    Window root_ = None;
    Atom activeWindow_ = None, clientList_ = None, pid_ = None, wmCheck_ = None, changeState_ = None;
    std::vector<Window> windows_;
};

TEST_F(X11WindowSystemTest, theFrontmostApplicationIsTheActiveWindowsProcessAndItsEntry) {
    setActive(ownWindow());
    EXPECT_EQ(system_->frontmostApplication(), probe());
    EXPECT_TRUE(system_->isThisApplicationActive());

    // WM_CLASS with the instance alone is matched by it.
    setActive(otherWindow());
    EXPECT_EQ(system_->frontmostApplication(), sleeper());
    EXPECT_FALSE(system_->isThisApplicationActive());
}

TEST_F(X11WindowSystemTest, nothingIsFrontmostUnlessTheActiveWindowNamesAProcessOfThisMachine) {
    const auto expectNone = [&](const char* what) {
        EXPECT_EQ(system_->frontmostApplication(), std::nullopt) << what;
        EXPECT_FALSE(system_->isThisApplicationActive()) << what;
    };
    expectNone("no active window property");
    setActive(None);
    expectNone("no active window");
    setActive(makeWindow(std::nullopt, "plain"));
    expectNone("a window without a process");
    setActive(makeWindow(0, "zero"));
    expectNone("process 0");
    setActive(vanishedWindow());
    expectNone("a window that is gone");
    // Some other type than a window.
    setCardinal(root_, activeWindow_, static_cast<long>(ownWindow()));
    XSync(d_, False);
    expectNone("a cardinal");

    // A process id from another host names nothing here.
    const Window remote = ownWindow();
    const std::string elsewhere = "elsewhere.invalid";
    XChangeProperty(d_, remote, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(elsewhere.data()), static_cast<int>(elsewhere.size()));
    setActive(remote);
    expectNone("a window of another host");

    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    XChangeProperty(d_, remote, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(host),
                    static_cast<int>(std::strlen(host)));
    XSync(d_, False);
    EXPECT_EQ(system_->frontmostApplication(), probe());
    EXPECT_TRUE(system_->isThisApplicationActive());
}

TEST_F(X11WindowSystemTest, runningApplicationsAreOnePerProcessOfTheClientListWithTheIdentifier) {
    const Window first = ownWindow(), second = ownWindow(), other = otherWindow();
    setClientList({first, vanishedWindow(), other, makeWindow(std::nullopt, "plain"), second});

    EXPECT_EQ(system_->runningApplications("org.example.Probe"), std::vector<RunningApplication>{probe()});
    EXPECT_EQ(system_->runningApplications("org.example.Sleeper"), std::vector<RunningApplication>{sleeper()});
    EXPECT_TRUE(system_->runningApplications("org.example.Missing").empty());
    EXPECT_TRUE(system_->runningApplications("").empty());

    // An empty list is the window manager saying it manages nothing, not a missing list.
    setClientList({});
    EXPECT_TRUE(system_->runningApplications("org.example.Probe").empty());
}

TEST_F(X11WindowSystemTest, withoutAClientListTheTopLevelWindowsWithAProcessAreTheClients) {
    const Window top = ownWindow();
    // A child window is no client, whatever it carries.
    makeWindow(other_->pid(), std::string("Sleeper\0", 8), false, top);

    EXPECT_EQ(system_->runningApplications("org.example.Probe"), std::vector<RunningApplication>{probe()});
    EXPECT_TRUE(system_->runningApplications("org.example.Sleeper").empty());
}

TEST_F(X11WindowSystemTest, activatingAsksTheWindowManagerAndWithoutOneRaisesAndFocusesTheWindow) {
    const Window first = otherWindow(true), second = otherWindow(true);
    setClientList({first, second});
    ASSERT_TRUE(isAbove(second, first));
    watchRootMessages();

    system_->activate(sleeper());
    const auto messages = rootMessages(activeWindow_);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, first);
    EXPECT_EQ(messages[0].format, 32);
    EXPECT_EQ(messages[0].data.l[0], 2); // from a pager: no focus-stealing prevention
    EXPECT_EQ(focus(), first);
    EXPECT_TRUE(isAbove(first, second));

    // A process without windows: nothing is asked.
    RunningApplication gone;
    gone.processIdentifier = 999999999;
    system_->activate(gone);
    EXPECT_TRUE(rootMessages(activeWindow_).empty());
}

TEST_F(X11WindowSystemTest, withoutAWindowManagerOnlyAViewableWindowIsFocused) {
    // The first window was withdrawn by its application: it stays unmapped.
    const Window withdrawn = otherWindow(false), shown = otherWindow(true);
    setClientList({withdrawn, shown});
    watchRootMessages();

    system_->activate(sleeper());
    const auto messages = rootMessages(activeWindow_);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, withdrawn);
    EXPECT_EQ(focus(), shown);
    XWindowAttributes attributes{};
    XGetWindowAttributes(d_, withdrawn, &attributes);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
}

TEST_F(X11WindowSystemTest, withAWindowManagerActivatingOnlyAsksIt) {
    const Window lower = otherWindow(true), upper = ownWindow(true);
    setClientList({lower, upper});
    const Window check = makeWindow(std::nullopt, "");
    setWindows(check, wmCheck_, {check});
    setWindows(root_, wmCheck_, {check});
    XSetInputFocus(d_, upper, RevertToParent, CurrentTime);
    XSync(d_, False);
    watchRootMessages();

    system_->activate(sleeper());
    EXPECT_EQ(rootMessages(activeWindow_).size(), 1u);
    EXPECT_EQ(focus(), upper);
    EXPECT_TRUE(isAbove(upper, lower));

    // The check window of a window manager that ended is gone: no one would answer.
    XDestroyWindow(d_, check);
    XSync(d_, False);
    system_->activate(sleeper());
    EXPECT_EQ(rootMessages(activeWindow_).size(), 1u);
    EXPECT_EQ(focus(), lower);
    EXPECT_TRUE(isAbove(lower, upper));
}

TEST_F(X11WindowSystemTest, hidingAsksToIconifyEveryWindowOfTheProcess) {
    const Window first = otherWindow(true), mine = ownWindow(true), second = otherWindow(true);
    setClientList({first, mine, second});
    watchRootMessages();

    system_->hide(sleeper());
    const auto messages = rootMessages(changeState_);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].window, first);
    EXPECT_EQ(messages[1].window, second);
    for (const auto& message : messages) EXPECT_EQ(message.data.l[0], IconicState);
}

TEST_F(X11WindowSystemTest, theActivationHandlerHearsOfEachNewApplicationOnce) {
    struct Report {
        RunningApplication application;
        bool isThisProgram;
    };
    std::vector<Report> reports;
    system_->setActivationHandler([&](const RunningApplication& application, bool isThisProgram) {
        reports.push_back({application, isThisProgram});
    });
    const Window mine = ownWindow(), alsoMine = ownWindow(), other = otherWindow();

    setActive(mine);
    ASSERT_TRUE(pumpUntil([&] { pump(); }, [&] { return reports.size() == 1; }));
    EXPECT_EQ(reports[0].application, probe());
    EXPECT_TRUE(reports[0].isThisProgram);

    // The same window again, another window of the same process, windows without a process
    // (one of them gone) and no active window: none is a new application.
    setActive(mine);
    setActive(alsoMine);
    setActive(makeWindow(std::nullopt, "plain"));
    setActive(vanishedWindow());
    XDeleteProperty(d_, root_, activeWindow_);
    XSync(d_, False);
    settle([&] { pump(); });
    EXPECT_EQ(reports.size(), 1u);

    setActive(other);
    ASSERT_TRUE(pumpUntil([&] { pump(); }, [&] { return reports.size() == 2; }));
    EXPECT_EQ(reports[1].application, sleeper());
    EXPECT_FALSE(reports[1].isThisProgram);

    setActive(alsoMine);
    ASSERT_TRUE(pumpUntil([&] { pump(); }, [&] { return reports.size() == 3; }));
    EXPECT_EQ(reports[2].application, probe());
    EXPECT_TRUE(reports[2].isThisProgram);
    settle([&] { pump(); });
    EXPECT_EQ(reports.size(), 3u);
}

// A listed application's leader keys come back when it leaves the front with nothing after it,
// and go again when it returns.
TEST_F(X11WindowSystemTest, anApplicationLeavingTheFrontEmptyIsToldAndItsReturnReported) {
    int activations = 0, left = 0;
    system_->setActivationHandler([&](const RunningApplication&, bool) { ++activations; });
    system_->setFrontLeftHandler([&] { ++left; });
    const Window other = otherWindow();
    setActive(other);
    ASSERT_TRUE(pumpUntil([&] { pump(); }, [&] { return activations == 1; }));

    setActive(makeWindow(std::nullopt, "plain"));
    XDeleteProperty(d_, root_, activeWindow_);
    XSync(d_, False);
    ASSERT_TRUE(pumpUntil([&] { pump(); }, [&] { return left == 1; }));
    setActive(other);
    EXPECT_TRUE(pumpUntil([&] { pump(); }, [&] { return activations == 2; }));
    settle([&] { pump(); });
    EXPECT_EQ(left, 1);
}

TEST_F(X11WindowSystemTest, theApplicationActiveWhenOpenedIsNotReportedAsANewOne) {
    setActive(ownWindow());
    system_ = openSystem();
    ASSERT_TRUE(system_);
    int reports = 0;
    system_->setActivationHandler([&](const RunningApplication&, bool) { ++reports; });

    setActive(ownWindow());
    settle([&] { pump(); });
    EXPECT_EQ(reports, 0);
    setActive(otherWindow());
    EXPECT_TRUE(pumpUntil([&] { pump(); }, [&] { return reports == 1; }));
}

TEST_F(X11WindowSystemTest, aChangeLeavesTheSocketReadableEvenAfterQueries) {
    std::vector<std::int64_t> reported;
    system_->setActivationHandler(
        [&](const RunningApplication& application, bool) { reported.push_back(application.processIdentifier); });
    setActive(otherWindow());
    // Replies read by these must not swallow the change notice unseen.
    system_->frontmostApplication();
    system_->runningApplications("org.example.Sleeper");
    system_->isThisApplicationActive();

    pollfd readable{system_->fileDescriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 3000), 1);
    pump();
    EXPECT_EQ(reported, std::vector<std::int64_t>{other_->pid()});
}

// In the application the window system shares the hot keys' connection, which reads the
// notices and hands them over: it must neither miss them nor read the connection itself.
TEST_F(X11WindowSystemTest, onTheHotKeysConnectionActivationsComeThroughItsReader) {
    auto hotKeys = X11HotKeyRegistrar::open();
    ASSERT_TRUE(hotKeys);
    system_ = X11WindowSystem::onSharedConnection(hotKeys->sharedDisplay());
    ASSERT_TRUE(system_);
    hotKeys->addEventReader(system_.get());
    EXPECT_EQ(system_->fileDescriptor(), -1);
    std::vector<std::int64_t> reported;
    system_->setActivationHandler(
        [&](const RunningApplication& application, bool) { reported.push_back(application.processIdentifier); });
    setActive(otherWindow());
    EXPECT_TRUE(pumpUntil(
        [&] {
            pump();
            hotKeys->processPendingEvents();
        },
        [&] { return !reported.empty(); }));
    EXPECT_EQ(reported, std::vector<std::int64_t>{other_->pid()});
    EXPECT_EQ(system_->frontmostApplication(), sleeper());
    system_.reset();
}

TEST_F(X11WindowSystemTest, rescanningFindsEntriesInstalledSinceOpening) {
    tavlin::test::SavedEnvironment saved{"XDG_DATA_DIRS", "PATH"};
    ::setenv("XDG_DATA_DIRS", (home_.root() / "no-system-entries").c_str(), 1);
    tavlin::test::followEnvironmentInGLib();
    // An entry whose program is not installed is no application.
    const auto bin = home_.root() / "bin";
    writeFile(bin / "late", "#!/bin/sh\n");
    std::filesystem::permissions(bin / "late", std::filesystem::perms::owner_all);
    ::setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    std::filesystem::create_directories(home_.dataHome() / "applications"); // watched from the start
    system_ = X11WindowSystem::open();
    ASSERT_TRUE(system_);
    setActive(makeWindow(::getpid(), std::string("late\0LateArrival\0", 17)));
    const auto identifier = [&] {
        const auto frontmost = system_->frontmostApplication();
        return frontmost ? frontmost->bundleIdentifier : std::optional<std::string>("(nothing frontmost)");
    };
    EXPECT_EQ(identifier(), std::nullopt);

    writeFile(home_.dataHome() / "applications" / "org.example.Late.desktop",
              "[Desktop Entry]\nType=Application\nName=Late\nExec=late\nStartupWMClass=LateArrival\n");
    EXPECT_EQ(identifier(), std::nullopt);
    // The desktop's own notice of the new file, and the reading it starts, come in their own time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
        system_->rescanDesktopEntries();
        xdg::ApplicationCatalog::dispatchPendingChanges();
        if (identifier() == "org.example.Late") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(identifier(), "org.example.Late");
}

} // namespace
} // namespace tavlin
