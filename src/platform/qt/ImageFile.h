#pragma once

#include <string>

#include <QtGui/QImage>

namespace tavlin::qt {

// An image the user named by path (an input source's icon): read only from a regular file of
// at most `maximumImageFileBytes`, opened without blocking, so a FIFO or a device named there
// can neither block the main thread nor fill memory. A null image when it cannot be read.
inline constexpr qint64 maximumImageFileBytes = qint64{32} * 1024 * 1024;
QImage readImageFile(const std::string& path);

} // namespace tavlin::qt
