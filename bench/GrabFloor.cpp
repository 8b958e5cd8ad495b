// The floor of start-up for a hot-key daemon: open the display, grab Control+Alt and the X key
// code given in every lock state, and print "served" on each press. tavlin_startup_latency
// runs it beside the application and xbindkeys.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include <X11/Xlib.h>

int main(int argc, char** argv) {
    Display* display = argc > 1 ? XOpenDisplay(nullptr) : nullptr;
    if (!display) return 1;
    const Window root = DefaultRootWindow(display);
    const auto keycode = static_cast<KeyCode>(std::atoi(argv[1]));
    for (const unsigned int locks : {0u, static_cast<unsigned int>(LockMask), static_cast<unsigned int>(Mod2Mask),
                                     static_cast<unsigned int>(Mod2Mask | LockMask)})
        XGrabKey(display, keycode, ControlMask | Mod1Mask | locks, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress) {
            std::fputs("served\n", stdout);
            std::fflush(stdout);
        }
    }
}
