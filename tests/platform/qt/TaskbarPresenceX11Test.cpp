// The task-bar state of a window of the xcb platform, read back from the X server of $DISPLAY.
// Qt before Xlib: Xlib's macros (Status, Bool...) break Qt's headers.
#include <QtGui/qguiapplication_platform.h>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "platform/x11/X11TestSupport.h"

#include <algorithm>
#include <vector>

#include <X11/Xatom.h>

#include "platform/qt/TaskbarPresence.h"
#include "platform/x11/X11Connection.h"

// fontconfig keeps its configuration until exit on purpose; the xcb platform's accessibility
// bridge keeps its bus connection, whose buffers libdbus hands out, for the application's life.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

namespace tavlin::qt {
namespace {

QApplication& xcbApplication() {
    static QApplication* application = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
        static int argc = 1;
        static char name[] = "tavlin-taskbar-tests";
        static char* argv[] = {name, nullptr};
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

class TaskbarPresenceX11Test : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        xcbApplication();
        state_ = atom("_NET_WM_STATE");
        skipTaskbar_ = atom("_NET_WM_STATE_SKIP_TASKBAR");
        skipPager_ = atom("_NET_WM_STATE_SKIP_PAGER");
        above_ = atom("_NET_WM_STATE_ABOVE");
    }

    Atom atom(const char* name) const { return XInternAtom(display(), name, False); }

    // Read once the program's own connection, on which it writes, has been processed.
    std::vector<Atom> stateOf(QWidget& window) const {
        XSync(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display(), False);
        std::vector<Atom> atoms;
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display(), static_cast<Window>(window.winId()), state_, 0, 64, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32) {
            const auto* found = reinterpret_cast<const Atom*>(data);
            atoms.assign(found, found + count);
        }
        if (data) XFree(data);
        std::sort(atoms.begin(), atoms.end());
        return atoms;
    }
    std::vector<Atom> sorted(std::vector<Atom> atoms) const {
        std::sort(atoms.begin(), atoms.end());
        return atoms;
    }

    Atom state_ = 0, skipTaskbar_ = 0, skipPager_ = 0, above_ = 0;
};

// Before mapping the property is ours: the two atoms are added and taken away, and whatever
// else the window's state holds stays.
TEST_F(TaskbarPresenceX11Test, AWindowNotYetShownCarriesTheStateItWillBeMappedWith) {
    QWidget window;
    const auto id = static_cast<Window>(window.winId());
    XChangeProperty(display(), id, state_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&above_), 1);
    XSync(display(), False);

    setShownInTaskbar(&window, false);
    EXPECT_EQ(stateOf(window), sorted({above_, skipTaskbar_, skipPager_}));
    // Applied twice (every show applies it), each atom is there once.
    setShownInTaskbar(&window, false);
    EXPECT_EQ(stateOf(window), sorted({above_, skipTaskbar_, skipPager_}));
    setShownInTaskbar(&window, true);
    EXPECT_EQ(stateOf(window), std::vector<Atom>{above_});
}

// On screen the state is the window manager's: it is asked, one message per atom, to add or
// remove it for a normal application.
TEST_F(TaskbarPresenceX11Test, AWindowOnScreenAsksTheWindowManager) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    const auto id = static_cast<Window>(window.winId());
    // As a window manager listens, without redirecting anyone's windows.
    x11::DisplayPtr manager = x11::openDisplay(nullptr);
    ASSERT_TRUE(manager);
    XSelectInput(manager.get(), DefaultRootWindow(manager.get()), SubstructureNotifyMask);
    XSync(manager.get(), False);

    const auto requests = [&](bool shown) {
        setShownInTaskbar(&window, shown);
        std::vector<std::pair<long, Atom>> seen;
        pumpUntil([] {},
                  [&] {
                      while (XPending(manager.get())) {
                          XEvent event;
                          XNextEvent(manager.get(), &event);
                          if (event.type == ClientMessage && event.xclient.window == id && event.xclient.message_type == state_) {
                              EXPECT_EQ(event.xclient.data.l[3], 1);
                              seen.emplace_back(event.xclient.data.l[0], static_cast<Atom>(event.xclient.data.l[1]));
                          }
                      }
                      return seen.size() >= 2;
                  });
        std::sort(seen.begin(), seen.end());
        return seen;
    };
    const auto add = sorted({skipTaskbar_, skipPager_});
    EXPECT_EQ(requests(false), (std::vector<std::pair<long, Atom>>{{1, add[0]}, {1, add[1]}}));
    EXPECT_EQ(requests(true), (std::vector<std::pair<long, Atom>>{{0, add[0]}, {0, add[1]}}));
    // Nobody answered: the property is left to the window manager.
    const auto state = stateOf(window);
    EXPECT_EQ(std::count(state.begin(), state.end(), skipTaskbar_), 0);
}

} // namespace
} // namespace tavlin::qt
