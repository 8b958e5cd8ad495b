#include "platform/qt/ImageFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QImageReader>

namespace tavlin::qt {

QImage readImageFile(const std::string& path) {
    // Not even opened unless it is a regular file: opening some devices does something.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return {};
    // O_NONBLOCK: should a FIFO have taken its place since, opening it does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {};
    QByteArray bytes;
    struct stat status {};
    bool whole = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= maximumImageFileBytes;
    if (whole) {
        bytes.resize(static_cast<qsizetype>(status.st_size));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += n;
        }
        // A file that shrank meanwhile gives what it had; one that grew is cut at its old size.
        bytes.truncate(done);
    }
    ::close(fd);
    if (!whole || bytes.isEmpty()) return {};
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

} // namespace tavlin::qt
