#include "platform/qt/DropData.h"

#include <chrono>
#include <cstdint>

#include <poll.h>

#include <QtGui/QDropEvent>
#include <QtGui/QGuiApplication>

#include <X11/Xlib.h>

namespace tavlin {

namespace {

using Clock = std::chrono::steady_clock;
// Qt waits as long for each step of a transfer; here it bounds the whole of it.
constexpr auto transferTime = std::chrono::seconds(5);

// The names a format may go by on X, in the order they are asked for.
QList<QByteArray> targetsFor(const QString& format) {
    if (format == QLatin1String("text/plain")) return {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};
    return {format.toUtf8()};
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// One transfer of a selection into a property of a window of our own.
class Transfer {
public:
    Transfer(Display* display, Atom selection)
        : display_(display), selection_(selection), deadline_(Clock::now() + transferTime) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), -10, -10, 1, 1, 0, 0, 0);
        XSelectInput(display_, window_, PropertyChangeMask);
        property_ = XInternAtom(display_, "TAVLIN_DROP", False);
        incremental_ = XInternAtom(display_, "INCR", False);
    }
    ~Transfer() { XDestroyWindow(display_, window_); }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    enum class Outcome { read, notOffered, tooLarge, failed };
    Outcome read(const QByteArray& target, qint64 limit, QByteArray& bytes) {
        XConvertSelection(display_, selection_, XInternAtom(display_, target.constData(), False), property_, window_,
                          CurrentTime);
        XEvent event;
        if (!waitFor(event, [this](const XEvent& e) { return e.type == SelectionNotify && e.xselection.requestor == window_; }))
            return Outcome::failed;
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
                return Outcome::failed;
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
            bytes.append(reinterpret_cast<const char*>(value), static_cast<qsizetype>(items * static_cast<unsigned>(format / 8)));
        }
        XFree(value);
    }

    Display* display_;
    Atom selection_;
    Clock::time_point deadline_;
    Window window_ = 0;
    Atom property_ = None;
    Atom incremental_ = None;
};

// Gives the event filter the data pointer of a drop event, which Qt keeps to itself.
struct DropEventData : QDropEvent {
    static constexpr const QMimeData* QDropEvent::*member = &DropEventData::m_data;
};

} // namespace

DropPayload readDropPayload(const QMimeData& data, const QString& format, qint64 limit) {
    if (const auto* sized = dynamic_cast<const SizedMimeData*>(&data)) {
        if (const auto size = sized->announcedSize(format); size && *size > limit) return {{}, true};
        auto bytes = sized->read(format, limit);
        if (!bytes) return {{}, true};
        return {std::move(*bytes), false};
    }
    QByteArray bytes = data.data(format);
    if (bytes.size() > limit) return {{}, true};
    return {std::move(bytes), false};
}

std::optional<QByteArray> X11DropData::read(const QString& format, qint64 limit) const {
    if (auto found = read_.constFind(format); found != read_.constEnd()) {
        if (found->size() > limit) return std::nullopt;
        return *found;
    }
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) return QByteArray();
    Transfer transfer(display.get(), XInternAtom(display.get(), "XdndSelection", False));
    for (const QByteArray& target : targetsFor(format)) {
        QByteArray bytes;
        switch (transfer.read(target, limit, bytes)) {
        case Transfer::Outcome::read: read_.insert(format, bytes); return bytes;
        case Transfer::Outcome::notOffered: continue;
        case Transfer::Outcome::tooLarge: return std::nullopt;
        case Transfer::Outcome::failed: return QByteArray();
        }
    }
    return QByteArray();
}

QVariant X11DropData::retrieveData(const QString& format, QMetaType) const {
    if (!hasFormat(format)) return {};
    const auto bytes = read(format, foreignDropLimit);
    return bytes ? QVariant(*bytes) : QVariant();
}

ForeignDropGuard::~ForeignDropGuard() = default;

bool ForeignDropGuard::eventFilter(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::Drop) return QObject::eventFilter(receiver, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    // A drag of this process has its data in memory; one already bounded is left as it is.
    if (!data || drop->source() || dynamic_cast<const SizedMimeData*>(data) ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    current_ = std::make_unique<X11DropData>(data->formats());
    drop->*DropEventData::member = current_.get();
    return false;
}

} // namespace tavlin
