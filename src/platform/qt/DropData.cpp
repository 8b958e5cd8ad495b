#include "platform/qt/DropData.h"

#include <chrono>
#include <cstdint>
#include <utility>

#include <poll.h>

#include <QtGui/QDropEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace tavlin {

namespace {

using Clock = std::chrono::steady_clock;
// Qt waits as long for each step of a transfer; here it bounds the whole of it.
constexpr auto transferTime = std::chrono::seconds(5);

// The names a format our drop targets read may go by on X, in the order they are asked for; none
// for the formats left to Qt. Text comes as UTF-8, or as Latin-1 under STRING.
QList<QByteArray> targetsFor(const QString& format) {
    if (format == QLatin1String("text/plain")) return {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING"};
    if (format == QLatin1String("text/uri-list") || format.startsWith(QLatin1String("local.tavlin.uttypes.")))
        return {format.toUtf8()};
    return {};
}

// The display Qt itself is connected to, which a -display argument may have chosen.
QByteArray displayName() {
    if (const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr; x11 && x11->display())
        return DisplayString(x11->display());
    return {};
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// One transfer of a selection into a property of a window of our own.
class Transfer {
public:
    Transfer(Display* display, XdndDrop drop)
        : display_(display), selection_(XInternAtom(display, "XdndSelection", False)), time_(drop.time),
          deadline_(Clock::now() + transferTime) {
        // Asked from within the window the drop went to, as the dragging program expects.
        window_ = XCreateWindow(display_, drop.window, 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
        XSelectInput(display_, window_, PropertyChangeMask);
        property_ = XInternAtom(display_, "TAVLIN_DROP", False);
        incremental_ = XInternAtom(display_, "INCR", False);
    }
    ~Transfer() { XDestroyWindow(display_, window_); }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // `stalled`: the program did not answer, or not all of it, within the time.
    enum class Outcome { read, notOffered, tooLarge, stalled };
    Outcome read(const QByteArray& target, qint64 limit, QByteArray& bytes) {
        XConvertSelection(display_, selection_, XInternAtom(display_, target.constData(), False), property_, window_, time_);
        XEvent event;
        if (!waitFor(event, [this](const XEvent& e) { return e.type == SelectionNotify && e.xselection.requestor == window_; }))
            return Outcome::stalled;
        if (event.xselection.property == None) return Outcome::notOffered;
        const auto [type, size] = peek();
        if (type != incremental_) {
            if (static_cast<qint64>(size) > limit) return Outcome::tooLarge;
            take(bytes, size);
            return Outcome::read;
        }
        // In chunks: the property holds the size announced (at least that much follows), and each
        // chunk comes once the last one is deleted; an empty one ends the transfer.
        if (announcedSize() > limit) return Outcome::tooLarge;
        XDeleteProperty(display_, window_, property_);
        for (;;) {
            if (!waitFor(event, [this](const XEvent& e) {
                    return e.type == PropertyNotify && e.xproperty.window == window_ && e.xproperty.atom == property_ &&
                           e.xproperty.state == PropertyNewValue;
                }))
                return Outcome::stalled;
            const auto [chunkType, chunk] = peek();
            if (chunk == 0) {
                XDeleteProperty(display_, window_, property_);
                return Outcome::read;
            }
            if (bytes.size() + static_cast<qint64>(chunk) > limit) return Outcome::tooLarge;
            take(bytes, chunk);
        }
    }

private:
    template <typename Wanted>
    bool waitFor(XEvent& event, Wanted&& wanted) {
        for (;;) {
            while (XPending(display_) > 0) {
                XNextEvent(display_, &event);
                if (wanted(event)) return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
            if (left <= 0) return false;
            pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&descriptor, 1, static_cast<int>(left));
        }
    }

    // The property's type and size in bytes; nothing of it is transferred.
    std::pair<Atom, unsigned long> peek() {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, size = 0;
        unsigned char* value = nullptr;
        XGetWindowProperty(display_, window_, property_, 0, 0, False, AnyPropertyType, &type, &format, &items, &size, &value);
        if (value) XFree(value);
        return {type, size};
    }

    qint64 announcedSize() {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* value = nullptr;
        XGetWindowProperty(display_, window_, property_, 0, 1, False, incremental_, &type, &format, &items, &after, &value);
        qint64 size = 0;
        if (value && format == 32 && items == 1) size = static_cast<qint64>(*reinterpret_cast<const unsigned long*>(value));
        if (value) XFree(value);
        return size;
    }

    // Takes the property, `size` bytes, off the window onto the end of `bytes`.
    void take(QByteArray& bytes, unsigned long size) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display_, window_, property_, 0, static_cast<long>((size + 3) / 4), True, AnyPropertyType, &type,
                               &format, &items, &after, &value) != Success)
            return;
        if (!value) return;
        if (format == 32) { // items arrive as longs
            for (unsigned long i = 0; i < items; ++i) {
                const auto item = static_cast<std::uint32_t>(reinterpret_cast<const unsigned long*>(value)[i]);
                bytes.append(reinterpret_cast<const char*>(&item), sizeof item);
            }
        } else {
            bytes.append(reinterpret_cast<const char*>(value), static_cast<qsizetype>(items) * (format / 8));
        }
        XFree(value);
    }

    Display* display_;
    Atom selection_;
    Time time_;
    Clock::time_point deadline_;
    Window window_ = 0;
    Atom property_ = None;
    Atom incremental_ = None;
};

// Gives the event filter the data pointer of a drop event, which Qt keeps to itself.
struct DropEventData : QDropEvent {
    static constexpr const QMimeData* QDropEvent::*member = &DropEventData::m_data;
};

// Reads Qt's data of a drop as a widget would, with Qt's conversions.
struct QtMimeData : QMimeData {
    static constexpr auto retrieve = &QtMimeData::retrieveData;
};

} // namespace

DropPayload readDropPayload(const QMimeData& data, const QString& format, qint64 limit) {
    if (const auto* sized = dynamic_cast<const SizedMimeData*>(&data)) return sized->read(format, limit);
    QByteArray bytes = data.data(format);
    if (bytes.size() > limit) return {{}, true};
    return {std::move(bytes)};
}

X11DropData::Fetched X11DropData::fetch(const QString& format, qint64 limit, QByteArray& bytes) const {
    if (auto found = read_.constFind(format); found != read_.constEnd()) {
        bytes = *found;
        return bytes.size() > limit ? Fetched::tooLarge : Fetched::read;
    }
    const auto targets = targetsFor(format);
    if (targets.isEmpty() || !hasFormat(format)) return Fetched::qtData;
    const QByteArray name = displayName();
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(name.isEmpty() ? nullptr : name.constData()));
    if (!display) return Fetched::qtData;
    Transfer transfer(display.get(), drop_);
    for (const QByteArray& target : targets) {
        bytes.clear();
        switch (transfer.read(target, limit, bytes)) {
        case Transfer::Outcome::read:
            if (target == "STRING") bytes = QString::fromLatin1(bytes).toUtf8();
            if (bytes.size() > limit) return Fetched::tooLarge;
            read_.insert(format, bytes);
            return Fetched::read;
        case Transfer::Outcome::notOffered: continue;
        case Transfer::Outcome::tooLarge: return Fetched::tooLarge;
        case Transfer::Outcome::stalled: return Fetched::stalled;
        }
    }
    // Under another name only, which Qt knows how to convert; never an empty drop in its place.
    return Fetched::qtData;
}

DropPayload X11DropData::read(const QString& format, qint64 limit) const {
    QByteArray bytes;
    switch (fetch(format, limit, bytes)) {
    case Fetched::read: return {std::move(bytes)};
    case Fetched::tooLarge: return {{}, true};
    case Fetched::stalled: return {{}, false, true};
    case Fetched::qtData: break;
    }
    bytes = qtData_.data(format);
    if (bytes.size() > limit) return {{}, true};
    return {std::move(bytes)};
}

QVariant X11DropData::retrieveData(const QString& format, QMetaType type) const {
    QByteArray bytes;
    switch (fetch(format, foreignDropLimit, bytes)) {
    case Fetched::read: return bytes;
    case Fetched::tooLarge:
    case Fetched::stalled: return {};
    case Fetched::qtData: break;
    }
    return (qtData_.*QtMimeData::retrieve)(format, type);
}

ForeignDropGuard::ForeignDropGuard(QObject* parent) : QObject(parent) {
    const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) return;
    xdndDropAtom_ = XInternAtom(x11->display(), "XdndDrop", False);
    qApp->installNativeEventFilter(this);
}

ForeignDropGuard::~ForeignDropGuard() {
    if (xdndDropAtom_ && qApp) qApp->removeNativeEventFilter(this);
}

bool ForeignDropGuard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // The top bit marks an event another client sent, as XDND messages are.
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (client->type == xdndDropAtom_ && client->format == 32) drop_ = XdndDrop{client->window, client->data.data32[2]};
    return false;
}

bool ForeignDropGuard::eventFilter(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::Drop) return QObject::eventFilter(receiver, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    // A drag of this process has its data in memory; one already bounded is left as it is, and so
    // is one that did not come through XDND.
    if (!data || drop->source() || dynamic_cast<const SizedMimeData*>(data) || !drop_) return false;
    current_ = std::make_unique<X11DropData>(*data, *std::exchange(drop_, std::nullopt));
    drop->*DropEventData::member = current_.get();
    return false;
}

} // namespace tavlin
