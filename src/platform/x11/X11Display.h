#pragma once

#include <memory>

// An owned X connection, without pulling Xlib's macros into the headers that use it.
struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for a connection
union _XEvent;    // NOLINT(bugprone-reserved-identifier): Xlib's own name for an event

namespace tavlin::x11 {

struct DisplayCloser {
    void operator()(_XDisplay* display) const;
};
using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

// A new connection to the named display ($DISPLAY when null); null when it cannot be reached.
DisplayPtr openDisplay(const char* displayName);

// A piece that shares another's connection and is handed the events read from it: every X
// connection costs the server and the start-up alike, so the pieces that may share one do.
class EventReader {
public:
    virtual ~EventReader() = default;
    // Each event read, in order; the reader ignores what is not its own.
    virtual void handleEvent(_XEvent& event) = 0;
    // Every event read so far has been handed over: what a burst of them changed is handled once.
    virtual void finishBatch() {}
};

} // namespace tavlin::x11
