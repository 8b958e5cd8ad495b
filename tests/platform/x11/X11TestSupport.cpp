#include "X11TestSupport.h"

#include <cstdlib>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>

#include "platform/keys/VirtualKeyCodes.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::testing {
namespace {

// The rule names on the root window (rules, model, layout, variant, options).
std::vector<std::string> currentRuleNames(Display* display) {
    std::vector<std::string> names(5);
    const Atom property = XInternAtom(display, "_XKB_RULES_NAMES", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (property != None &&
        XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 4096, False, XA_STRING, &type, &format, &count,
                           &remaining, &data) == Success &&
        data) {
        std::size_t field = 0;
        for (unsigned long i = 0; i < count && field < 5; ++i) {
            if (data[i] == 0) {
                ++field;
            } else {
                names[field] += static_cast<char>(data[i]);
            }
        }
    }
    if (data) XFree(data);
    return names;
}

} // namespace

unsigned int xKey(int virtualKeyCode) { return keycodes::xKeycode(virtualKeyCode).value(); }

void XServerTest::SetUp() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) TAVLIN_SKIP_WITHOUT_DESKTOP("no X server: DISPLAY is not set");
    display_ = x11::openDisplay(name);
    if (!display_) TAVLIN_SKIP_WITHOUT_DESKTOP("no X server at " << name);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display(), &eventBase, &errorBase, &major, &minor)) TAVLIN_SKIP_WITHOUT_DESKTOP("no XTest");
    XkbStateRec state{};
    XkbGetState(display(), XkbUseCoreKbd, &state);
    lockedModifiers_ = state.locked_mods;
    group_ = state.locked_group;
    modifierMap_ = XGetModifierMapping(display());
    // Nothing left over from an earlier test may hold a key or a lock.
    ASSERT_FALSE(anyKeyDown());
    lockModifiers(0xff, false);
}

void XServerTest::TearDown() {
    if (!display_) return;
    char keys[32] = {};
    XQueryKeymap(display(), keys);
    for (unsigned int keycode = 8; keycode < 256; ++keycode) {
        if ((keys[keycode / 8] >> (keycode % 8)) & 1) XTestFakeKeyEvent(display(), keycode, False, CurrentTime);
    }
    for (unsigned int button = 1; button <= 3; ++button) XTestFakeButtonEvent(display(), button, False, CurrentTime);
    if (modifierMap_) {
        // The server refuses while a key of the map is down; all keys are up by now.
        for (int attempt = 0; attempt < 50; ++attempt) {
            XSync(display(), False);
            if (XSetModifierMapping(display(), modifierMap_) != MappingBusy) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        XFreeModifiermap(modifierMap_);
        modifierMap_ = nullptr;
    }
    if (!ruleNames_.empty()) {
        const auto& n = ruleNames_;
        run({"setxkbmap", "-rules", n[0], "-model", n[1], "-layout", n[2], "-variant", n[3], "-option", "", "-option", n[4]});
    }
    lockModifiers(0xff, false);
    lockModifiers(lockedModifiers_, true);
    XkbLockGroup(display(), XkbUseCoreKbd, group_);
    XSync(display(), False);
    display_.reset();
}

void XServerTest::press(unsigned int xKeycode) {
    XTestFakeKeyEvent(display(), xKeycode, True, CurrentTime);
    XSync(display(), False);
}

void XServerTest::release(unsigned int xKeycode) {
    XTestFakeKeyEvent(display(), xKeycode, False, CurrentTime);
    XSync(display(), False);
}

void XServerTest::chord(std::initializer_list<unsigned int> xKeycodes) {
    for (unsigned int keycode : xKeycodes) press(keycode);
    for (auto it = std::rbegin(xKeycodes); it != std::rend(xKeycodes); ++it) release(*it);
}

void XServerTest::click(unsigned int button, bool down) {
    XTestFakeButtonEvent(display(), button, down ? True : False, CurrentTime);
    XSync(display(), False);
}

void XServerTest::lockModifiers(unsigned int mask, bool locked) {
    XkbLockModifiers(display(), XkbUseCoreKbd, mask, locked ? mask : 0);
    XSync(display(), False);
}

bool XServerTest::anyKeyDown() {
    char keys[32] = {};
    XQueryKeymap(display(), keys);
    for (char byte : keys) {
        if (byte) return true;
    }
    return false;
}

bool XServerTest::pumpUntil(const std::function<void()>& pump, const std::function<bool()>& done,
                            std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        pump();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void XServerTest::settle(const std::function<void()>& pump, std::chrono::milliseconds time) {
    pumpUntil(
        pump, [] { return false; }, time);
}

void XServerTest::setKeymap(std::vector<std::string> arguments) {
    if (ruleNames_.empty()) ruleNames_ = currentRuleNames(display());
    arguments.insert(arguments.begin(), "setxkbmap");
    ASSERT_TRUE(run(arguments)) << "setxkbmap failed";
}

bool run(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // Quiet: only the exit status counts.
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace tavlin::testing
