#pragma once

// The user's side of the X server: a window of our own that holds the input focus, so that a
// keyboard grab by the application shows as FocusOut (mode NotifyGrab) and its release as
// FocusIn (NotifyUngrab) without our touching the grab; XTest for keys, buttons and the pointer.
// Xlib stays out of this header: its macros (None, Bool, Status) break GoogleTest's.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "e2e/AppDriver.h"

using XDisplay = struct _XDisplay;

namespace tavlin::e2e {

// X key codes of the keys the tests press, from the program's fixed table.
unsigned int xKey(int virtualKeyCode);
unsigned int xSuperKey();
unsigned int xControlKey();
unsigned int xAltKey();

// Takes a passive grab of the key with these X modifiers on the root window, and keeps it only
// when `keep`; answers whether it got it, that is, whether no other client held it.
bool tryKeyGrab(XDisplay* display, unsigned int xKeycode, unsigned int xModifiers, bool keep);

class UserSeat {
public:
    // Null-safe: `open()` answers nothing when $DISPLAY cannot be reached or lacks XTest.
    static std::unique_ptr<UserSeat> open();
    ~UserSeat(); // lets go of every key and button still held, destroys the window
    UserSeat(const UserSeat&) = delete;
    UserSeat& operator=(const UserSeat&) = delete;

    // Grabs and releases of the keyboard by other clients, as seen through the focus events.
    struct Counts {
        int grabs = 0;
        int releases = 0;
    };
    Counts counts() const { return counts_; }
    // Whether another client holds the keyboard now.
    bool keyboardHeld() const { return counts_.grabs > counts_.releases; }
    // Key presses our window received.
    int keysReceived() const { return keysReceived_; }

    // Takes the input focus for our window once the application has given its configuration
    // window the focus (it does so a moment after it says it is ready), or the time is up.
    // Answers whether our window has the focus.
    bool takeFocusFrom(pid_t application, std::chrono::milliseconds limit = std::chrono::seconds(3));
    // Waits until a window of the application has the input focus, as it gives its
    // configuration window the focus after it says it is ready.
    bool waitForFocusOn(pid_t application, std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Leaves the focus with the application: waits until one of its windows has it and counts the
    // grabs and releases that window sees from then on. Answers whether it got the focus.
    bool followFocusOf(pid_t application, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Counts also the grabs and releases the application's shown windows see, for when it may
    // take the focus at a moment of its own (as it does when it is activated).
    void watchWindowsOf(pid_t application);
    // Whether this client could take a passive grab of the key with these X modifiers on the root
    // window now, that is, whether no other client holds it. The grab is let go at once.
    bool canGrabKey(unsigned int xKeycode, unsigned int xModifiers);
    // Takes that grab and keeps it while the seat lives, as another program's hot key; answers
    // whether it got it.
    bool holdKey(unsigned int xKeycode, unsigned int xModifiers);
    static unsigned int controlMask();
    static unsigned int shiftMask();
    static unsigned int altMask();
    // Publishes our window as the active one of this process (as a window manager would), so
    // that the application sees a frontmost application; withdrawn again on destruction.
    void announceAsActiveWindow();

    // Reads the events that have come; keeps the focus on our window if something else takes it.
    void pump();
    // Pumps until `done` answers true or the time is up, waking as soon as events come.
    template <typename Done>
    bool waitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Until there were `count` more grabs (or releases) than in `since`.
    bool waitForGrabs(Counts since, int count, std::chrono::milliseconds limit = std::chrono::seconds(5));
    bool waitForReleases(Counts since, int count, std::chrono::milliseconds limit = std::chrono::seconds(5));

    void press(unsigned int xKeycode);
    void release(unsigned int xKeycode);
    // Press and release.
    void tap(unsigned int xKeycode);
    // Presses the keys in order, releases them in reverse order.
    void chord(std::initializer_list<unsigned int> xKeycodes);
    // Control+option and the key, typed with the key released last, so that nothing follows the
    // release the application reacts to: input that reaches it together with the hot key's
    // release is handled after it and cancels it, so the key is held until the server has
    // grabbed it for the application and a moment longer, and the modifiers go up a moment
    // before it. The times of the key's release and of the session's grab (the key's own grab
    // comes first); nothing when no session opened.
    struct OpenedSession {
        Clock::time_point released, grabbed;
    };
    std::optional<OpenedSession> openSessionWithControlOption(unsigned int xKeycode);
    // Control+option held and the key tapped every 2 ms until the application's grab takes a
    // press: the first press after its hot key appeared. The key goes up at once, the modifiers
    // a moment later. The time of that press, and of the session's grab when one opened;
    // nothing when no press was grabbed within the time. Without `waitForSession` it answers
    // once the modifiers are up, for a program that opens no session of its own. `modifiers`
    // are the X key codes held instead of Control and Alt.
    struct FirstGrabbedPress {
        Clock::time_point pressed;
        std::optional<Clock::time_point> sessionGrabbed;
    };
    std::optional<FirstGrabbedPress> openSessionAsSoonAsGrabbed(unsigned int xKeycode,
                                                                std::chrono::milliseconds limit = std::chrono::seconds(10),
                                                                bool waitForSession = true,
                                                                std::vector<unsigned int> modifiers = {});
    void movePointer(int x, int y);
    void click(unsigned int button = 1);
    // A button held down, then let go: a drag in between.
    void pressButton(unsigned int button = 1);
    void releaseButton(unsigned int button = 1);
    // Waits until the server has handled every request sent so far.
    void sync();

    int screenWidth() const;
    int screenHeight() const;

    // The application's input window: mapped, override-redirect, of the process `pid`, with
    // more than one pixel of height (it shrinks to one while it shows nothing).
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    std::optional<Geometry> shownInputWindow(pid_t pid);
    // The application's leader-key indicator when it is mapped.
    std::optional<Geometry> shownIndicatorWindow(pid_t pid);

    // Gives the input focus to the application's mapped top-level window of that title, and
    // stops taking it back until takeFocusFrom. Answers the window's geometry when found.
    std::optional<Geometry> giveFocusTo(pid_t application, const std::string& title);
    // Whether the application's top-level window of that title is mapped now.
    bool showsWindow(pid_t application, const std::string& title);
    // Where that window is, when it is mapped.
    std::optional<Geometry> shownWindowGeometry(pid_t application, const std::string& title);
    // How many colours the screen shows in that area: one or two before a window first paints
    // (the root's pattern shows through), many once it drew text.
    std::size_t distinctColors(const Geometry& area);
    // A mapped dialog (an alert, a panel) of the process `pid`, with its title.
    struct Dialog {
        unsigned long window = 0;
        std::string title;
    };
    std::optional<Dialog> shownDialog(pid_t pid);
    // Whether the input focus is in that top-level window now.
    bool focusIsIn(unsigned long window);
    // Whether no other client holds the keyboard: tries a grab of its own and lets go at once
    // (seen in `counts` as one grab and one release).
    bool keyboardFree();
    // Gives the input focus to another window and keeps it there (instead of on our own)
    // until `takeFocusBack`; answers whether it got there.
    bool focusOn(unsigned long window, std::chrono::milliseconds limit = std::chrono::seconds(5));
    bool takeFocusBack(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // The screen's pixels down one column, from `top` to `bottom` (exclusive), as 0xRRGGBB.
    std::vector<std::uint32_t> pixelColumn(int x, int top, int bottom);
    // The whole screen as a binary PPM (P6).
    bool saveScreenshot(const std::filesystem::path& path);

private:
    explicit UserSeat(XDisplay* display);
    void waitForEvents(std::chrono::milliseconds limit);
    bool focusIsOnWindowOf(pid_t pid);
    std::optional<std::pair<unsigned long, Geometry>> shownWindow(pid_t application, const std::string& title);

    XDisplay* display_;
    unsigned long window_ = 0;
    unsigned long followed_ = 0;
    std::set<unsigned long> watched_;
    unsigned long focusHolder_ = 0; // where pump keeps the focus: our window unless told otherwise
    Counts counts_;
    bool keepsFocus_ = true;
    int keysReceived_ = 0;
    bool announcedActive_ = false;
    std::set<unsigned int> heldKeys_;
    std::set<unsigned int> heldButtons_;
};

template <typename Done>
bool UserSeat::waitUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        pump();
        if (done()) return true;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        waitForEvents(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left) + std::chrono::milliseconds(1),
                               std::chrono::milliseconds(5)));
    }
}

} // namespace tavlin::e2e
