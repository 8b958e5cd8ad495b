#pragma once

#include <memory>

// An owned X connection, without pulling Xlib's macros into the headers that use it.
struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for a connection

namespace tavlin::x11 {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

// A new connection to the named display ($DISPLAY when null); null when it cannot be reached.
DisplayPtr openDisplay(const char* displayName);

} // namespace tavlin::x11
