#pragma once

#include <memory>
#include <optional>

#include <QtCore/QHash>
#include <QtCore/QMimeData>
#include <QtCore/QObject>
#include <QtCore/QStringList>

namespace tavlin {

// The most any drop target of ours takes from another program.
inline constexpr qint64 foreignDropLimit = qint64{64} << 20;

// Drop data read on demand from another program: it can tell a payload's size before handing
// any of it over, and hands over no more than the caller takes.
class SizedMimeData : public QMimeData {
public:
    // The size the other program announced for `format`, if it did; it may still send more.
    virtual std::optional<qint64> announcedSize(const QString& format) const = 0;
    // The payload of `format`; none, once it shows to be larger than `limit`.
    virtual std::optional<QByteArray> read(const QString& format, qint64 limit) const = 0;
};

// A drop's payload under `format`. Data from another program is refused by its announced size
// before any of it is read, and otherwise read no further than `limit`; data of this process is
// in memory already.
struct DropPayload {
    QByteArray bytes;
    bool tooLarge = false;
};
DropPayload readDropPayload(const QMimeData& data, const QString& format, qint64 limit);

// What another program offers in a drag on X, read from its selection on a connection of our
// own: a payload announced larger than the limit is refused before any of it is transferred,
// and a transfer stops at the limit, whatever was announced. Every read ends within a few
// seconds, so a stalled program cannot hold the main thread.
class X11DropData final : public SizedMimeData {
public:
    explicit X11DropData(QStringList formats) : formats_(std::move(formats)) {}

    QStringList formats() const override { return formats_; }
    bool hasFormat(const QString& format) const override { return formats_.contains(format); }
    std::optional<qint64> announcedSize(const QString&) const override { return std::nullopt; }
    std::optional<QByteArray> read(const QString& format, qint64 limit) const override;

protected:
    // What widgets read through QMimeData: bounded by foreignDropLimit, empty beyond it.
    QVariant retrieveData(const QString& format, QMetaType type) const override;

private:
    QStringList formats_;
    mutable QHash<QString, QByteArray> read_;
};

// Installed on the application: a drop from another program on X reaches every widget with an
// X11DropData in place of Qt's own data, which reads a payload whole, however large, before
// anyone can refuse it.
class ForeignDropGuard final : public QObject {
public:
    using QObject::QObject;
    ~ForeignDropGuard() override;
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    std::unique_ptr<X11DropData> current_; // kept until the next drop: the event points to it
};

} // namespace tavlin
