// The shortcut library against the X server of $DISPLAY: hot keys through the real registrar
// and hub, and the recorder as a window of the xcb platform, typed at with XTest while another
// X client holds combinations.
// Qt before Xlib: Xlib's macros (KeyPress, None...) break Qt's headers.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest/QTest>

#include "platform/x11/X11TestSupport.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/HotKeyManager.h"
#include "platform/base/MainQueue.h"
#include "platform/keys/HotKeyHub.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11InputSources.h"
#include "shortcutkit/CarbonShortcutTable.h"
#include "shortcutkit/EventStream.h"
#include "shortcutkit/Handlers.h"
#include "shortcutkit/MenuMatching.h"
#include "shortcutkit/ShortcutStore.h"
#include "shortcutkit/qt/RecorderControl.h"
#include "support/TempHome.h"

// fontconfig keeps its configuration until exit on purpose; the xcb platform's accessibility
// bridge keeps its bus connection, whose buffers libdbus hands out, for the application's life.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

namespace tavlin::shortcutkit {
namespace {

using testing::xAltL;
using testing::xControlL;
using testing::xKey;

constexpr std::uint32_t controlOption = 0x1800;
const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);

// One xcb application for the program, made once the first test finds an X server.
QApplication& xcbApplication() {
    static QApplication* application = [] {
        static int argc = 1;
        static char name[] = "tavlin-shortcutkit-x11-tests";
        static char* argv[] = {name, nullptr};
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

// A second X client that grabs keys, as another program or the desktop does.
struct OtherProgram {
    x11::DisplayPtr display = x11::openDisplay(nullptr);
    bool grab(unsigned int keycode, unsigned int modifiers) {
        x11::ErrorTrap trap(display.get());
        XGrabKey(display.get(), keycode, modifiers, DefaultRootWindow(display.get()), False, GrabModeAsync, GrabModeAsync);
        return trap.sync() == Success;
    }
};

class ShortcutKitX11Test : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        home.emplace();
        setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"}));
        MainQueue::setShared(&queue);
        registrar = X11HotKeyRegistrar::open();
        ASSERT_TRUE(registrar);
        hub = std::make_unique<HotKeyHub>(registrar.get());
        leaderClient = &hub->addClient();
        CarbonShortcutTable::setRegistrar(&hub->addClient());
    }
    void TearDown() override {
        if (hub) {
            removeAllHandlers();
            queue.runUntilIdle();
            CarbonShortcutTable::setRegistrar(nullptr);
            leaders.setRegistrar(nullptr);
            hub.reset();
        }
        registrar.reset();
        MainQueue::setShared(nullptr);
        home.reset();
        XServerTest::TearDown();
    }

    void pump() {
        QCoreApplication::processEvents();
        registrar->processPendingEvents();
    }
    bool waitFor(const std::function<bool()>& done) {
        return pumpUntil([this] { pump(); }, done, std::chrono::seconds(10));
    }
    bool canGrab(unsigned int keycode, unsigned int modifiers) { return OtherProgram{}.grab(keycode, modifiers); }

    std::optional<tavlin::test::TempHome> home;
    VirtualMainQueue queue;
    std::unique_ptr<X11HotKeyRegistrar> registrar;
    std::unique_ptr<HotKeyHub> hub;
    HotKeyRegistrar* leaderClient = nullptr;
    HotKeyManager leaders;
    std::vector<std::string> log;
};

TEST_F(ShortcutKitX11Test, aHandlerHearsEachPressAndReleaseBesideALeaderKeyOfTheSameCombination) {
    const Name name("x11-handler");
    setShortcut(controlOptionJ, name);
    onKeyDown(name, [this] { log.push_back("down"); });
    onKeyUp(name, [this] { log.push_back("up"); });
    EXPECT_FALSE(canGrab(xKey(keys::j.rawValue), ControlMask | Mod1Mask));

    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return log.size() >= 2; }));
    EXPECT_EQ(log, (std::vector<std::string>{"down", "up"}));

    // The leader keys register the same combination through their own client: both hear it.
    leaders.setRegistrar(leaderClient);
    leaderClient->setHandlers([this](std::uint32_t) { log.push_back("leader down"); },
                              [this](std::uint32_t) { log.push_back("leader up"); });
    leaders.registerHotKey(keys::j.rawValue, controlOption);
    ASSERT_TRUE(leaders.isRegistered(keys::j.rawValue, controlOption));
    log.clear();
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return log.size() >= 4; }));
    EXPECT_EQ(log, (std::vector<std::string>{"leader down", "down", "leader up", "up"}));

    // The leader keys going off (as while a recorder has focus) leave the handler working.
    leaders.unregisterAll();
    leaderClient->setHandlers(nullptr, nullptr);
    log.clear();
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return log.size() >= 2; }));
    EXPECT_EQ(log, (std::vector<std::string>{"down", "up"}));

    // Another name's change does not deafen it.
    const Name other("x11-other");
    setShortcut(controlOptionJ, other);
    setShortcut(std::nullopt, other);
    log.clear();
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return log.size() >= 2; }));

    removeAllHandlers();
    EXPECT_TRUE(canGrab(xKey(keys::j.rawValue), ControlMask | Mod1Mask));
}

// A Cyrillic group, first or second, active or not: Ctrl+Q is named and matched as the menus
// know it. A group that types ASCII itself keeps its own letters.
TEST_F(ShortcutKitX11Test, keyTextsComeFromAGroupWhoseLettersTypeAscii) {
    if (!testing::run({"setxkbmap", "-version"})) GTEST_SKIP() << "setxkbmap is missing";
    const auto sources = X11InputSources::open();
    ASSERT_TRUE(sources);
    const Menu menu{{MenuItem{"Quit", "q", eventFlags::control, nullptr}}};
    const Shortcut controlQ(keys::q.rawValue, carbon::control);
    const auto textIn = [&](const std::string& layouts, std::size_t group) {
        setKeymap({"-layout", layouts});
        EXPECT_TRUE(sources->selectGroup(group));
        EXPECT_TRUE(sources->updateCurrentKeyboardLayout());
        return controlQ.description();
    };
    for (const std::string layouts : {"ru,us", "us,ru"}) {
        for (const std::size_t group : {0u, 1u}) {
            EXPECT_EQ(textIn(layouts, group), "Ctrl+Q") << layouts << " group " << group;
            EXPECT_TRUE(itemMatching(menu, controlQ)) << layouts << " group " << group;
        }
    }
    EXPECT_EQ(textIn("us,fr", 1), "Ctrl+A");
}

TEST_F(ShortcutKitX11Test, theLastLiveStreamEndingFreesTheCombination) {
    const Name name("x11-stream");
    setShortcut(controlOptionJ, name);
    auto stream = events(name);
    queue.runUntilIdle();
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    std::vector<EventType> seen;
    ASSERT_TRUE(waitFor([&] {
        while (const auto event = stream.tryNext()) seen.push_back(*event);
        return seen.size() >= 2;
    }));
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    stream.end();
    queue.runUntilIdle();
    EXPECT_TRUE(canGrab(xKey(keys::j.rawValue), ControlMask | Mod1Mask));
}

class RecorderX11Test : public ShortcutKitX11Test {
protected:
    void SetUp() override {
        ShortcutKitX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        xcbApplication();
        RecorderControl::setBeep([this] { ++beeps; });
        RecorderControl::setAlertOpened([this](QMessageBox* box) { alert = box; });
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        recorder = new RecorderControl(name, {}, window.get());
        layout->addWidget(recorder);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000));
        QCoreApplication::processEvents();
        recorder->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(recorder->isRecording());
    }
    void TearDown() override {
        window.reset();
        RecorderControl::setBeep(nullptr);
        RecorderControl::setAlertOpened(nullptr);
        ShortcutKitX11Test::TearDown();
    }

    const Name name{"x11-recorder"};
    std::unique_ptr<QWidget> window;
    RecorderControl* recorder = nullptr;
    QPointer<QMessageBox> alert;
    int beeps = 0;
};

TEST_F(RecorderX11Test, aCombinationAnotherProgramGrabsReachesTheRecorderAndIsReportedTaken) {
    OtherProgram other;
    ASSERT_TRUE(other.grab(xKey(keys::j.rawValue), ControlMask | Mod1Mask));
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return !alert.isNull(); }));
    EXPECT_EQ(alert->text(), "Another program or the desktop already uses this shortcut.");
    EXPECT_FALSE(getShortcut(name));
    alert->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(waitFor([&] { return recorder->isRecording(); }));

    // Plain F12 is never asked about, so a desktop's screenshot key cannot block it.
    ASSERT_TRUE(other.grab(xKey(keys::f12.rawValue), 0));
    chord({xKey(keys::f12.rawValue)});
    ASSERT_TRUE(waitFor([&] { return getShortcut(name).has_value(); }));
    EXPECT_EQ(getShortcut(name), Shortcut(111, 0));
    // Stored, not grabbed; and recording let go of the keyboard.
    EXPECT_TRUE(canGrab(xKey(keys::f12.rawValue), Mod4Mask));
    EXPECT_FALSE(recorder->isRecording());
    // Qt sends the ungrab with its next flush.
    EXPECT_TRUE(waitFor([&] {
        const bool free = XGrabKeyboard(display(), DefaultRootWindow(display()), False, GrabModeAsync, GrabModeAsync,
                                        CurrentTime) == GrabSuccess;
        if (free) XUngrabKeyboard(display(), CurrentTime);
        XSync(display(), False);
        return free;
    }));
}

TEST_F(RecorderX11Test, aFreeCombinationIsStoredAndALoneShiftDoesNotBeep) {
    chord({testing::xShiftL});
    chord({xControlL, xAltL, xKey(keys::j.rawValue)});
    ASSERT_TRUE(waitFor([&] { return getShortcut(name).has_value(); }));
    EXPECT_EQ(getShortcut(name), controlOptionJ);
    EXPECT_EQ(beeps, 0);
    EXPECT_FALSE(alert);
    EXPECT_TRUE(canGrab(xKey(keys::j.rawValue), ControlMask | Mod1Mask));
}

TEST_F(RecorderX11Test, focusMovingToAnotherProgramsWindowEndsRecordingAndLetsGoOfTheKeyboard) {
    // What a window manager does when another program's window is clicked.
    OtherProgram other;
    Display* d = other.display.get();
    const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(d, window);
    XSync(d, False);
    ASSERT_TRUE(waitFor([&] {
        XWindowAttributes attributes{};
        XGetWindowAttributes(d, window, &attributes);
        return attributes.map_state == IsViewable;
    }));
    XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(waitFor([&] { return !recorder->isRecording(); }));
    EXPECT_TRUE(waitFor([&] {
        const bool free = XGrabKeyboard(display(), DefaultRootWindow(display()), False, GrabModeAsync, GrabModeAsync,
                                        CurrentTime) == GrabSuccess;
        if (free) XUngrabKeyboard(display(), CurrentTime);
        XSync(display(), False);
        return free;
    }));
    XDestroyWindow(d, window);
    XSync(d, False);
}

} // namespace
} // namespace tavlin::shortcutkit
