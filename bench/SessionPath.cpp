// The session path of the real application as a user's desktop sees it:
//   - messages handled out of a burst of 300 Post signals sent back to back on one connection
//     to a session whose leaf waits again;
//   - leader key released → the leaf's command ran, with the leaf key typed as soon as the input
//     window holds the keyboard, on a bare server and with 300 desktop entries of the user and
//     40 client windows of 40 processes none of the entries matches;
//   - leaf key typed → the leaf's command ran;
//   - with 10, 1,000 and 10,000 flat rows: grab → ready for keys (the leader key's text handled,
//     after which a key typed meets the trigger keys), and how many bindings ran when their key
//     was typed as soon as the input window held the keyboard.
//
// It types on $DISPLAY and publishes a client list on its root window, so run it on a private
// X server with no window manager, never on a desktop in use:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_session_path [sessions] [flat sessions]   # default 100, 20
//   kill $xvfb
//
// Build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"

namespace {

using namespace std::chrono_literals;
using namespace tavlin::e2e;

constexpr int keyO = 31, keyT = 17, keyEscape = 53;
constexpr const char* outcomeName = "local.tavlin.notification_names.action_outcome_event";
constexpr const char* leafLine = "chances empty, success end";

const std::string leaderConfiguration = R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [31]}},
     "decision": {"actions": [{"openURL": {"url": "https://example.org/o"}}], "chances": []}}
  ]}
})";

// Every message reaches the leaf, which starts the next session at once.
const std::string burstConfiguration = R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"message": {"regex": ".*"}}, "decision": {"actions": [{"reWaitTriggerKeys": {}}], "chances": []}}
  ]}
})";

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) return 0;
    const auto index = static_cast<std::size_t>(std::ceil(p * samples.size()));
    return samples[std::clamp<std::size_t>(index, 1, samples.size()) - 1];
}

// 40 windows of 40 idle processes, published as the window manager's client list.
class ClientWindows {
public:
    explicit ClientWindows(int count) : display_(XOpenDisplay(nullptr)) {
        const Window root = DefaultRootWindow(display_);
        const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
        for (int i = 0; i < count; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::execlp("sleep", "sleep", "3600", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            children_.push_back(child);
            const Window window = XCreateSimpleWindow(display_, root, 0, 0, 10, 10, 0, 0, 0);
            const std::string name = "client-" + std::to_string(i);
            XClassHint hint{const_cast<char*>(name.c_str()), const_cast<char*>(name.c_str())};
            XSetClassHint(display_, window, &hint);
            const unsigned long pid = static_cast<unsigned long>(child);
            XChangeProperty(display_, window, pidAtom, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&pid), 1);
            windows_.push_back(window);
        }
        XChangeProperty(display_, root, XInternAtom(display_, "_NET_CLIENT_LIST", False), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(windows_.data()), static_cast<int>(windows_.size()));
        XSync(display_, False);
    }
    ~ClientWindows() {
        XDeleteProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, "_NET_CLIENT_LIST", False));
        for (const Window window : windows_) XDestroyWindow(display_, window);
        XCloseDisplay(display_);
        for (const pid_t child : children_) {
            ::kill(child, SIGTERM);
            ::waitpid(child, nullptr, 0);
        }
    }

private:
    Display* display_;
    std::vector<Window> windows_;
    std::vector<pid_t> children_;
};

void writeDesktopEntries(const AppHome& home, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string id = "bench-application-" + std::to_string(i);
        home.writeDesktopEntry(id, "[Desktop Entry]\nType=Application\nName=Bench Application " + std::to_string(i) +
                                       "\nExec=" + id + " %U\nMimeType=x-scheme-handler/bench" + std::to_string(i) +
                                       ";text/x-bench-" + std::to_string(i) + ";\n");
    }
}

// Control+option+T typed as a person does; the release time of the key, or nothing when no
// session opened.
std::optional<Clock::time_point> openSession(UserSeat& seat) {
    const auto opened = seat.openSessionWithControlOption(xKey(keyT));
    if (!opened) return std::nullopt;
    return opened->released;
}

struct Timings {
    std::vector<double> firstKeyToCommand, leafToCommand;
    bool ok = false;
};

Timings measureSessions(UserSeat& seat, AppHome& home, AppProcess& app, int sessions) {
    Timings timings;
    int lost = 0;
    for (int i = 0; i < sessions && lost <= sessions / 10;) {
        const auto released = openSession(seat);
        if (!released) {
            ++lost;
            const auto mark = seat.counts();
            if (seat.waitUntil([&] { return seat.keyboardHeld(); }, 200ms)) {
                seat.tap(xKey(keyEscape));
                seat.waitForReleases(mark, 1, 2s);
            }
            continue;
        }
        const auto mark = seat.counts();
        const auto typed = Clock::now();
        seat.tap(xKey(keyO));
        const auto urls = home.openedURLs().size() + 1;
        if (!pollUntil([&] { return home.openedURLs().size() >= urls; }, 5s)) {
            std::fprintf(stderr, "the leaf's action did not run\n%s\n", app.outputTail().c_str());
            return timings;
        }
        const auto acted = Clock::now();
        seat.waitForReleases(mark, 1, 2s);
        timings.firstKeyToCommand.push_back(milliseconds(acted - *released));
        timings.leafToCommand.push_back(milliseconds(acted - typed));
        ++i;
    }
    timings.ok = timings.leafToCommand.size() == static_cast<std::size_t>(sessions);
    return timings;
}

std::optional<Timings> runLeaderSessions(UserSeat& seat, int sessions, bool fullDesktop) {
    PrivateBus bus;
    AppHome home;
    home.writeConfiguration(leaderConfiguration);
    std::optional<ClientWindows> clients;
    if (fullDesktop) {
        writeDesktopEntries(home, 300);
        clients.emplace(40);
    }
    AppProcess app(TAVLIN_EXECUTABLE, {}, home, bus.address());
    if (!app.waitUntilReady() || !seat.takeFocusFrom(app.pid())) {
        std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
        return std::nullopt;
    }
    std::this_thread::sleep_for(1s);
    auto timings = measureSessions(seat, home, app, sessions);
    if (!timings.ok) return std::nullopt;
    app.stop();
    return timings;
}

// Messages handled of a burst of 300, or nothing when the session did not start.
std::optional<std::size_t> runBurst(UserSeat& seat) {
    PrivateBus bus;
    AppHome home;
    home.writeConfiguration(burstConfiguration);
    AppProcess app(TAVLIN_EXECUTABLE, {}, home, bus.address());
    if (!app.waitUntilReady() || !seat.takeFocusFrom(app.pid())) return std::nullopt;
    std::this_thread::sleep_for(1s);
    const auto mark = seat.counts();
    if (runClient(TAVLIN_EXECUTABLE, {"ke", "start"}, home, bus.address()) != 0 || !seat.waitForGrabs(mark, 1, 5s))
        return std::nullopt;
    std::this_thread::sleep_for(200ms);
    const std::vector<std::string> burst(300, R"({"message": {"text": "m"}})");
    if (!postSignals(bus.address(), outcomeName, burst)) return std::nullopt;
    // Done when all arrived, or nothing more arrived for two seconds.
    std::size_t handled = 0;
    auto lastChange = Clock::now();
    while (handled < burst.size() && Clock::now() - lastChange < 2s) {
        std::this_thread::sleep_for(10ms);
        const auto now = app.outputCount(leafLine);
        if (now != handled) lastChange = Clock::now();
        handled = now;
    }
    runClient(TAVLIN_EXECUTABLE, {"ke", "end"}, home, bus.address());
    app.stop();
    return handled;
}

// Flat rows led by control+option+T: O opens a URL, the others take three keys that begin with
// some other key, a quarter of them only in one of seven applications.
std::vector<tavlin::FlatKeysAndActionRow> flatRows(int count) {
    using tavlin::FlatKeysAndActionRow;
    static const int keys[] = {0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6, 31};
    const auto leader = tavlin::LeaderKey::press(tavlin::HotKey::combo(keyT, 0x1800));
    const auto row = [&](FlatKeysAndActionRow::ApplicationScope scope, std::vector<std::int64_t> sequence, int i) {
        return FlatKeysAndActionRow(
            tavlin::Uuid::random(), true, std::move(scope), std::move(sequence),
            tavlin::Action(tavlin::Action::Kind::openURL{"https://example.com/" + std::to_string(i), std::nullopt}), false,
            leader);
    };
    std::vector<FlatKeysAndActionRow> rows{row(FlatKeysAndActionRow::ApplicationScope::allBut(), {keyO}, 0)};
    for (int i = 1; i < count; ++i) {
        auto scope = i % 4 == 0 ? FlatKeysAndActionRow::ApplicationScope::only(
                                      {"/usr/share/applications/app" + std::to_string(i % 7) + ".desktop"})
                                : FlatKeysAndActionRow::ApplicationScope::allBut();
        rows.push_back(row(std::move(scope), {keys[i % 25], keys[(i / 25) % 26], keys[(i / 650) % 26]}, i));
    }
    return rows;
}

struct FlatTimings {
    std::vector<double> grabToReady;
    int ranAtGrab = 0, typedAtGrab = 0;
};

// Sessions on `rows` flat rows: half wait for the leader key's text before O is typed (grab →
// ready), half type O as soon as the keyboard is held (did its binding run?).
std::optional<FlatTimings> runFlatSessions(UserSeat& seat, int rows, int sessions) {
    const std::string readyLine = "Post action outcome: \"17(6144)\" received";
    PrivateBus bus;
    AppHome home;
    std::optional<std::string> failure;
    home.withStores([&] { failure = tavlin::settings::setFlatKeysAndActionRows(flatRows(rows)); });
    if (failure) return std::nullopt;
    // An application in front, as on a desktop in use: the session reports it.
    seat.announceAsActiveWindow();
    AppProcess app(TAVLIN_EXECUTABLE, {}, home, bus.address());
    if (!app.waitUntilReady(120s) || !seat.takeFocusFrom(app.pid(), 60s)) {
        std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
        return std::nullopt;
    }
    std::this_thread::sleep_for(1s);
    FlatTimings timings;
    for (int i = 0; i < 2 * sessions; ++i) {
        const bool atGrab = i % 2 == 1;
        const auto ready = app.outputCount(readyLine);
        const auto urls = home.openedURLs().size();
        const auto opened = seat.openSessionWithControlOption(xKey(keyT));
        if (!opened) {
            std::fprintf(stderr, "no session opened\n%s\n", app.outputTail().c_str());
            return std::nullopt;
        }
        const auto mark = seat.counts();
        if (atGrab) {
            seat.tap(xKey(keyO));
            ++timings.typedAtGrab;
            if (pollUntil([&] { return home.openedURLs().size() > urls; }, 3s)) ++timings.ranAtGrab;
        } else {
            if (!pollUntil([&] { return app.outputCount(readyLine) > ready; }, 10s)) {
                std::fprintf(stderr, "the leader key's text was never handled\n%s\n", app.outputTail().c_str());
                return std::nullopt;
            }
            timings.grabToReady.push_back(milliseconds(Clock::now() - opened->grabbed));
            seat.tap(xKey(keyO));
        }
        if (!seat.waitForReleases(mark, 1, 5s)) {
            seat.tap(xKey(keyEscape));
            seat.waitForReleases(mark, 1, 2s);
        }
        // Whatever a session leaves to do (its settings, a new file) is done before the next one.
        std::this_thread::sleep_for(rows >= 10000 ? 1500ms : 300ms);
    }
    app.stop();
    return timings;
}

} // namespace

int main(int argc, char** argv) {
    // "flat" as the first argument runs only the flat-row sessions.
    const bool flatOnly = argc > 1 && std::string(argv[1]) == "flat";
    const int sessions = flatOnly ? 1 : argc > 1 ? std::atoi(argv[1]) : 100;
    const int flatSessions = argc > 2 ? std::atoi(argv[2]) : 20;
    if (sessions <= 0 || flatSessions <= 0 || !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "usage: DISPLAY=<private Xvfb> %s [sessions|flat] [flat sessions]\n", argv[0]);
        return 2;
    }
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    const auto line = [](const char* what, const std::vector<double>& samples) {
        std::printf("%-64s median %7.2f ms   p90 %7.2f ms\n", what, median(samples), percentile(samples, 0.9));
    };

    if (!flatOnly) {
        std::vector<std::size_t> bursts;
        for (int i = 0; i < 3; ++i) {
            const auto handled = runBurst(*seat);
            if (!handled) {
                std::fprintf(stderr, "the burst session did not start\n");
                return 1;
            }
            bursts.push_back(*handled);
        }
        const auto bare = runLeaderSessions(*seat, sessions, false);
        const auto full = runLeaderSessions(*seat, sessions, true);
        if (!bare || !full) return 1;

        std::printf("tavlin_session_path: %d sessions each, leader key control+option+T, leaf key O\n", sessions);
        std::printf("%-64s %zu, %zu, %zu of 300\n", "messages handled per burst of 300 (three bursts)", bursts[0], bursts[1],
                    bursts[2]);
        line("first key -> command, bare server", bare->firstKeyToCommand);
        line("first key -> command, 300 entries and 40 client windows", full->firstKeyToCommand);
        std::printf("%-64s %+6.1f %%\n", "full desktop against bare (medians)",
                    100.0 * (median(full->firstKeyToCommand) / median(bare->firstKeyToCommand) - 1));
        line("leaf key -> command (xdg-open ran, 2 ms polling), bare server", bare->leafToCommand);
    }

    std::printf("flat rows: %d sessions waiting for the leader key's text, %d typing O at the grab\n", flatSessions,
                flatSessions);
    for (const int rows : {10, 1000, 10000}) {
        const auto flat = runFlatSessions(*seat, rows, flatSessions);
        if (!flat) return 1;
        const std::string what = "grab -> ready for keys, " + std::to_string(rows) + " flat rows (2 ms polling)";
        line(what.c_str(), flat->grabToReady);
        const std::string ran = "bindings run, key typed at the grab, " + std::to_string(rows) + " flat rows";
        std::printf("%-64s %d of %d\n", ran.c_str(), flat->ranAtGrab, flat->typedAtGrab);
    }
    return 0;
}
