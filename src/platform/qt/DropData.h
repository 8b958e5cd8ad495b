#pragma once

#include <memory>
#include <optional>

#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QHash>
#include <QtCore/QMimeData>
#include <QtCore/QObject>
#include <QtCore/QStringList>

namespace tavlin {

// The most any drop target of ours takes from another program.
inline constexpr qint64 foreignDropLimit = qint64{64} << 20;

// A drop's payload under a format, or why it was refused: announced or shown to be larger than the
// limit, or not handed over in time (the dragging program stalled).
struct DropPayload {
    QByteArray bytes;
    bool tooLarge = false;
    bool stalled = false;
    bool refused() const { return tooLarge || stalled; }
};

// Drop data read on demand from another program, handing over no more than the caller takes.
class SizedMimeData : public QMimeData {
public:
    virtual DropPayload read(const QString& format, qint64 limit) const = 0;
};

// A drop's payload under `format`. Data from another program is refused by its announced size
// before any of it is read, and otherwise read no further than `limit`; data of this process is
// in memory already.
DropPayload readDropPayload(const QMimeData& data, const QString& format, qint64 limit);

// A drop another program made on X: the window of ours it went to and the time it carried. The
// dragging program hands its data only to requests naming both.
struct XdndDrop {
    unsigned long window = 0;
    unsigned long time = 0;
};

// What another program offers in a drop on X, read from its selection on a connection of our own:
// a payload announced larger than the limit is refused before any of it is transferred, and a
// transfer stops at the limit, whatever was announced. Every read ends within a few seconds, so a
// stalled program cannot hold the main thread.
// Only the formats our drop targets read are served so (text, URIs, our own types); for the others,
// and whenever the program offers a format under none of the names asked for, Qt's own data
// answers with its conversions (images, other URI forms, other text encodings). No widget of ours
// takes those from another program, so they need no bound.
class X11DropData final : public SizedMimeData {
public:
    // `qtData` is Qt's data of the same drop; it must outlive this.
    X11DropData(const QMimeData& qtData, XdndDrop drop) : qtData_(qtData), drop_(drop) {}

    QStringList formats() const override { return qtData_.formats(); }
    bool hasFormat(const QString& format) const override { return qtData_.hasFormat(format); }
    DropPayload read(const QString& format, qint64 limit) const override;

protected:
    // What widgets read through QMimeData: bounded by foreignDropLimit, nothing beyond it.
    QVariant retrieveData(const QString& format, QMetaType type) const override;

private:
    enum class Fetched { read, tooLarge, stalled, qtData };
    Fetched fetch(const QString& format, qint64 limit, QByteArray& bytes) const;

    const QMimeData& qtData_;
    const XdndDrop drop_;
    mutable QHash<QString, QByteArray> read_;
};

// Installed on the application: a drop from another program on X reaches every widget with an
// X11DropData in place of Qt's own data, which reads a payload whole, however large, before
// anyone can refuse it. It learns each drop's window and time from the X events Qt receives.
class ForeignDropGuard final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit ForeignDropGuard(QObject* parent = nullptr);
    ~ForeignDropGuard() override;
    bool eventFilter(QObject* receiver, QEvent* event) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    unsigned long xdndDropAtom_ = 0;       // none off X
    std::optional<XdndDrop> drop_;         // the last one, until a drop event takes it
    std::unique_ptr<X11DropData> current_; // kept until the next drop: the event points to it
};

} // namespace tavlin
