// Payloads another program offers through an X selection, read from the X server of $DISPLAY.
// Qt before Xlib: Xlib's macros (Status, Bool...) break Qt's headers.
#include <QtGui/QDropEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include "platform/qt/DropData.h"

#include "platform/x11/X11TestSupport.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include <poll.h>

#include <X11/Xatom.h>

namespace tavlin::qt {
namespace {

// Another program owning the drag selection, on a connection and thread of its own. It answers with
// `size` bytes of 'p': in one property, or in chunks of 64 KB after announcing `announced`.
class SelectionOwner {
public:
    SelectionOwner(qint64 size, std::optional<long> announced) : size_(size), announced_(announced) {
        window_ = XCreateSimpleWindow(display_.get(), DefaultRootWindow(display_.get()), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display_.get(), XInternAtom(display_.get(), "XdndSelection", False), window_, CurrentTime);
        XSync(display_.get(), False);
        thread_ = std::thread([this] { serve(); });
    }
    ~SelectionOwner() {
        stop_ = true;
        thread_.join();
    }

    std::atomic<qint64> sent{0};

private:
    void serve() {
        Display* display = display_.get();
        Window requestor = 0;
        Atom property = None;
        bool finished = false;
        const std::string chunk(64 << 10, 'p');
        while (!stop_) {
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            if (XPending(display) == 0) ::poll(&descriptor, 1, 20);
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == SelectionRequest) {
                    const auto& request = event.xselectionrequest;
                    requestor = request.requestor;
                    property = request.property;
                    if (announced_) {
                        XSelectInput(display, requestor, PropertyChangeMask);
                        XChangeProperty(display, requestor, property, XInternAtom(display, "INCR", False), 32, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(&*announced_), 1);
                    } else {
                        const std::string all(static_cast<std::size_t>(size_), 'p');
                        XChangeProperty(display, requestor, property, request.target, 8, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(all.data()), static_cast<int>(size_));
                        sent += size_;
                    }
                    XEvent notify{};
                    notify.xselection = {SelectionNotify, 0,        True,        display, requestor, request.selection,
                                         request.target,  property, request.time};
                    XSendEvent(display, requestor, False, 0, &notify);
                } else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete &&
                           event.xproperty.window == requestor && event.xproperty.atom == property && !finished) {
                    // The last chunk was taken: the next one, or the empty end.
                    const auto length = static_cast<int>(std::min<qint64>(size_ - sent, static_cast<qint64>(chunk.size())));
                    XChangeProperty(display, requestor, property, XA_STRING, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(chunk.data()), length);
                    sent += length;
                    finished = length == 0;
                }
                XFlush(display);
            }
        }
    }

    x11::DisplayPtr display_ = x11::openDisplay(nullptr);
    Window window_ = 0;
    const qint64 size_;
    const std::optional<long> announced_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The owner may write to a window the reader has already dropped.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

using DropDataX11Test = testing::XServerTest;

TEST_F(DropDataX11Test, AnotherProgramsPayloadReachesAWidgetOnlyWithinTheLimit) {
    static int argc = 1;
    static char name[] = "tavlin-drop-tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!qApp) new QApplication(argc, argv);
    QLineEdit field;
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
    const auto previous = XSetErrorHandler(ignoreErrors);
    ForeignDropGuard guard;
    qApp->installEventFilter(&guard);
    QMimeData offered; // all Qt knows of another program's drag before reading: its formats
    offered.setText(QStringLiteral("never read"));
    // As the platform delivers a drag: to the window, which hands it to the widget under it.
    const auto dropped = [&] {
        field.clear();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &offered, Qt::LeftButton, {});
        QApplication::sendEvent(field.windowHandle(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &offered, Qt::LeftButton, {});
        QApplication::sendEvent(field.windowHandle(), &drop);
        return field.text();
    };
    constexpr qint64 limit = 1 << 20;
    const auto read = [] { return X11DropData({}).read(QStringLiteral("text/plain"), limit); };
    {
        SelectionOwner owner(1000, std::nullopt);
        EXPECT_EQ(dropped(), QString(1000, QLatin1Char('p')));
    }
    {
        SelectionOwner owner(100 << 20, 100 << 20);
        EXPECT_EQ(dropped(), QString());
        EXPECT_EQ(owner.sent, 0); // refused by the size announced
    }
    {
        SelectionOwner owner(300 << 10, 300 << 10);
        EXPECT_EQ(read(), QByteArray(300 << 10, 'p'));
    }
    {
        SelectionOwner owner(100 << 20, 10);
        EXPECT_FALSE(read());
        EXPECT_LE(owner.sent, limit + (64 << 10)); // announced small, stopped at the limit
    }
    qApp->removeEventFilter(&guard);
    XSetErrorHandler(previous);
}

} // namespace
} // namespace tavlin::qt
