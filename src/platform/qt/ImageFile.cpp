#include "platform/qt/ImageFile.h"

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QImageReader>

#include "platform/files/Files.h"

namespace tavlin::qt {

QImage readImageFile(const std::string& path) {
    QByteArray bytes;
    try {
        // A regular file only, opened without blocking: a FIFO or a device named there reads as
        // no image instead of holding the caller.
        const std::string read = files::readFile(path, maximumImageFileBytes);
        bytes = QByteArray(read.data(), static_cast<qsizetype>(read.size()));
    } catch (const FileError&) {
        return {};
    }
    if (bytes.isEmpty()) return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

} // namespace tavlin::qt
