#include "platform/qt/TaskbarPresence.h"

#include <iterator>
#include <vector>

#include <QtGui/QGuiApplication>
#include <QtGui/QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QtWidgets/QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace tavlin::qt {

namespace {

Display* x11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

void setShownInTaskbar(QWidget* window, bool shown) {
    Display* display = x11Display();
    if (!display || !window) return;
    const Window id = static_cast<Window>(window->winId());
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom skipped[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                            XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    const bool mapped = window->windowHandle() && window->windowHandle()->isVisible();
    if (mapped) {
        // A mapped window's state belongs to the window manager: ask it.
        for (const Atom atom : skipped) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = id;
            event.xclient.message_type = state;
            event.xclient.format = 32;
            event.xclient.data.l[0] = shown ? 0 : 1; // remove : add
            event.xclient.data.l[1] = static_cast<long>(atom);
            event.xclient.data.l[3] = 1; // a normal application
            XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        }
        XFlush(display);
        return;
    }
    // Before mapping, the property itself; Qt keeps the atoms it finds there when it maps.
    std::vector<Atom> atoms;
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, id, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) == Success && data &&
        format == 32) {
        const auto* found = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (found[i] != skipped[0] && found[i] != skipped[1]) atoms.push_back(found[i]);
    }
    if (data) XFree(data);
    if (!shown) atoms.insert(atoms.end(), std::begin(skipped), std::end(skipped));
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
    XFlush(display);
}

} // namespace tavlin::qt
