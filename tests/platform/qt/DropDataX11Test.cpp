// Payloads another program offers in a drop through XDND, read from the X server Qt is connected to.
// Qt before Xlib: Xlib's macros (Status, Bool...) break Qt's headers.
#include <QtGui/QDropEvent>
#include <QtGui/QImage>
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

// Another program dragging text onto `target`, on a connection and thread of its own. As such a
// program does, it hands its selection only to requests made from within the target window with
// the drop's time. It answers with `size` bytes of 'p': in one property, or in chunks of 64 KB
// after announcing `announced`. Given a point (root coordinates), it drags there and drops.
class DraggingProgram {
public:
    DraggingProgram(Window target, qint64 size, std::optional<long> announced, std::optional<QPoint> dropAt = {})
        : target_(target), size_(size), announced_(announced), dropAt_(dropAt) {
        Display* display = display_.get();
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display, window_, PropertyChangeMask);
        XChangeProperty(display, window_, XA_WM_NAME, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent event;
        XWindowEvent(display, window_, PropertyChangeMask, &event);
        time = event.xproperty.time; // a time of the server's, as a drop carries
        XSetSelectionOwner(display, atom("XdndSelection"), window_, time);
        XSync(display, False);
        thread_ = std::thread([this] { serve(); });
    }
    ~DraggingProgram() {
        stop_ = true;
        thread_.join();
    }

    Time time = 0;
    std::atomic<qint64> sent{0};
    std::atomic<int> refused{0};
    std::atomic<bool> finished{false}; // the target ended the drop
    std::atomic<bool> stalls{false};   // announces chunks and then hands none over

private:
    Atom atom(const char* name) { return XInternAtom(display_.get(), name, False); }
    void message(const char* type, long l1, long l2, long l3, long l4) {
        XEvent event{};
        event.xclient = {ClientMessage, 0, True, display_.get(), target_, atom(type), 32, {}};
        const long data[5] = {static_cast<long>(window_), l1, l2, l3, l4};
        std::copy(std::begin(data), std::end(data), event.xclient.data.l);
        XSendEvent(display_.get(), target_, False, NoEventMask, &event);
    }
    bool withinTarget(Window window) {
        while (window != target_) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(display_.get(), window, &root, &parent, &children, &count)) return false;
            if (children) XFree(children);
            if (parent == root || parent == 0) return false;
            window = parent;
        }
        return true;
    }

    void serve() {
        Display* display = display_.get();
        Window requestor = 0;
        Atom property = None;
        bool last = false, dropped = false;
        const std::string chunk(64 << 10, 'p');
        if (dropAt_) {
            message("XdndEnter", 5L << 24, static_cast<long>(atom("UTF8_STRING")), 0, 0);
            message("XdndPosition", 0, (dropAt_->x() << 16) | dropAt_->y(), static_cast<long>(time),
                    static_cast<long>(atom("XdndActionCopy")));
            XFlush(display);
        }
        while (!stop_) {
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            if (XPending(display) == 0) ::poll(&descriptor, 1, 20);
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus") &&
                    (event.xclient.data.l[1] & 1) && !dropped) {
                    message("XdndDrop", 0, static_cast<long>(time), 0, 0);
                    dropped = true;
                } else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished")) {
                    finished = true;
                } else if (event.type == SelectionRequest) {
                    const auto& request = event.xselectionrequest;
                    requestor = request.requestor;
                    property = request.property;
                    if (request.time != time || !withinTarget(requestor)) {
                        ++refused;
                        property = None;
                    } else if (announced_) {
                        XSelectInput(display, requestor, PropertyChangeMask);
                        XChangeProperty(display, requestor, property, atom("INCR"), 32, PropModeReplace,
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
                           event.xproperty.window == requestor && event.xproperty.atom == property && !last && !stalls) {
                    // The last chunk was taken: the next one, or the empty end.
                    const auto length = static_cast<int>(std::min<qint64>(size_ - sent, static_cast<qint64>(chunk.size())));
                    XChangeProperty(display, requestor, property, XA_STRING, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(chunk.data()), length);
                    sent += length;
                    last = length == 0;
                }
                XFlush(display);
            }
        }
    }

    x11::DisplayPtr display_ = x11::openDisplay(nullptr);
    Window window_ = 0;
    const Window target_;
    const qint64 size_;
    const std::optional<long> announced_;
    const std::optional<QPoint> dropAt_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The program may write to a window the reader has already dropped.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

using DropDataX11Test = testing::XServerTest;

void makeApplication() {
    static int argc = 1;
    static char name[] = "tavlin-drop-tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!qApp) new QApplication(argc, argv);
}

TEST_F(DropDataX11Test, AnotherProgramsPayloadReachesAWidgetOnlyWithinTheLimit) {
    makeApplication();
    QLineEdit field;
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
    const auto window = static_cast<Window>(field.winId());
    const auto previous = XSetErrorHandler(ignoreErrors);
    ForeignDropGuard guard;
    qApp->installEventFilter(&guard);
    // Dropped through the server as another program drops, while $DISPLAY names no server: the
    // reader must use Qt's display, which a -display argument may have chosen.
    const auto dropped = [&](qint64 size, std::optional<long> announced) {
        field.clear();
        DraggingProgram program(window, size, announced, field.mapToGlobal(QPoint(5, 5)));
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":none");
        const bool finished = pumpUntil([] { QCoreApplication::processEvents(); }, [&] { return program.finished.load(); },
                                        std::chrono::seconds(30));
        qputenv("DISPLAY", display);
        EXPECT_TRUE(finished);
        EXPECT_EQ(program.refused, 0);
        return std::pair(field.text(), program.sent.load());
    };
    EXPECT_EQ(dropped(1000, std::nullopt), std::pair(QString(1000, QLatin1Char('p')), qint64{1000}));
    // Refused by the size announced, and nothing transferred.
    EXPECT_EQ(dropped(100 << 20, 100 << 20), std::pair(QString(), qint64{0}));

    constexpr qint64 limit = 1 << 20;
    QMimeData qtData; // all Qt knows of another program's drag before reading: its formats
    qtData.setText(QStringLiteral("never read"));
    const auto read = [&](const DraggingProgram& program) {
        return X11DropData(qtData, {window, program.time}).read(QStringLiteral("text/plain"), limit);
    };
    {
        DraggingProgram program(window, 300 << 10, 300 << 10);
        EXPECT_EQ(read(program).bytes, QByteArray(300 << 10, 'p'));
        // A format no drop target of ours reads is Qt's, with its conversions.
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        qtData.setImageData(image);
        const X11DropData data(qtData, {window, program.time});
        EXPECT_EQ(qvariant_cast<QImage>(data.imageData()), image);
        EXPECT_EQ(program.sent, 300 << 10);
    }
    {
        DraggingProgram program(window, 100 << 20, 10);
        EXPECT_TRUE(read(program).tooLarge);
        EXPECT_LE(program.sent, limit + (64 << 10)); // announced small, stopped at the limit
    }
    qApp->removeEventFilter(&guard);
    XSetErrorHandler(previous);
}

// A program that stops handing its data over is refused for that, not for a size it never had.
TEST_F(DropDataX11Test, AProgramThatStallsIsRefusedAsStalled) {
    makeApplication();
    QLineEdit field;
    field.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
    const auto window = static_cast<Window>(field.winId());
    QMimeData qtData;
    qtData.setText(QStringLiteral("never read"));
    DraggingProgram program(window, 1000, 1000);
    program.stalls = true;
    const auto payload = readDropPayload(X11DropData(qtData, {window, program.time}), QStringLiteral("text/plain"), 1 << 20);
    EXPECT_TRUE(payload.stalled);
    EXPECT_FALSE(payload.tooLarge);
    EXPECT_EQ(program.sent, 0);
}

} // namespace
} // namespace tavlin::qt
