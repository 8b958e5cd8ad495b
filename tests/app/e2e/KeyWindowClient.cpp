// Another program's window for the end-to-end tests: a top-level window of the WM_CLASS given
// as the only argument, published with its process, that reports on standard output what its
// keyboard sees. Lines: "window <id>" once mapped, "focused" when it gets the focus, "key <X key
// code>" for each key typed into it, "keyboard taken" and "keyboard back" when another client takes the
// keyboard and gives it back. It runs until it is killed.

#include <cctype>
#include <cstdio>
#include <string>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    std::string className = argv[1];
    std::string instance = className;
    for (char& c : instance) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0xffffff);
    XClassHint hint{instance.data(), className.data()};
    XSetClassHint(display, window, &hint);
    XStoreName(display, window, className.c_str());
    const unsigned long pid = static_cast<unsigned long>(::getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(display, window, KeyPressMask | FocusChangeMask);
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("window %lu\n", window);
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        const char* line = nullptr;
        std::string keyLine;
        if (event.type == KeyPress) {
            keyLine = "key " + std::to_string(event.xkey.keycode);
            line = keyLine.c_str();
        } else if (event.type == FocusOut && event.xfocus.mode == NotifyGrab) {
            line = "keyboard taken";
        } else if (event.type == FocusIn && event.xfocus.mode == NotifyUngrab) {
            line = "keyboard back";
        } else if (event.type == FocusIn && event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior) {
            line = "focused";
        }
        if (!line) continue;
        std::printf("%s\n", line);
        std::fflush(stdout);
    }
}
