// Latency of the real application as a user feels it: a leader-key combination typed through
// XTest until the input window holds the keyboard, and the key that reaches a leaf until the
// keyboard is free again. Also its start-up time and idle resident memory.
//
// It types on $DISPLAY, so run it on a private X server, never on a desktop in use:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_app_latency [sessions]     # default 200
//   kill $xvfb
//
// The application runs on a session bus of its own (started here) with a throwaway home; an
// `xdg-open` stand-in records the leaf's URL. With TAVLIN_SCREENSHOT=<path.ppm> it also saves
// the screen while the input window shows a waiting decision's hint, as a binary PPM.
// Build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"

namespace {

using namespace std::chrono_literals;
using namespace tavlin::e2e;

constexpr int keyA = 0, keyO = 31, keyT = 17, keyEscape = 53;

// Control+option+T leads in; O is a leaf one key down; A waits for B or C (for the screenshot).
const std::string configuration = R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [31]}},
     "decision": {"actions": [{"openURL": {"url": "https://example.org/o"}}], "chances": []}},
    {"pattern": {"key": {"allowedKeyCodes": [0]}},
     "decision": {"actions": [], "chances": [
       {"pattern": {"key": {"allowedKeyCodes": [11]}},
        "decision": {"actions": [{"openURL": {"url": "https://example.org/a/b"}}], "chances": []}},
       {"pattern": {"key": {"allowedKeyCodes": [8]}},
        "decision": {"actions": [{"openURL": {"url": "https://example.org/a/c"}}], "chances": []}}
     ]}}
  ]}
})";

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

struct Summary {
    double median = 0, p99 = 0, max = 0;
};

// Nearest-rank percentiles.
Summary summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto rank = [&](double p) {
        const auto index = static_cast<std::size_t>(std::ceil(p * samples.size()));
        return samples[std::clamp<std::size_t>(index, 1, samples.size()) - 1];
    };
    return {rank(0.5), rank(0.99), samples.back()};
}

void print(const char* what, const std::vector<double>& samples) {
    const Summary s = summarise(samples);
    std::printf("%-52s median %7.2f ms   p99 %7.2f ms   max %7.2f ms\n", what, s.median, s.p99, s.max);
}

// Control+option+T, the tree's leader key, typed so that nothing follows its release.
std::optional<UserSeat::OpenedSession> openSession(UserSeat& seat) { return seat.openSessionWithControlOption(xKey(keyT)); }

bool saveScreenshot(UserSeat& seat, AppProcess& app, const std::string& path) {
    if (!openSession(seat)) return false;
    const auto mark = seat.counts();
    seat.tap(xKey(keyA));
    // The hint appears after a short delay and then settles its size and place.
    std::optional<UserSeat::Geometry> shown;
    int steady = 0;
    seat.waitUntil(
        [&] {
            const auto now = app.running() ? seat.shownInputWindow(app.pid()) : std::nullopt;
            const bool same = now && shown && now->x == shown->x && now->y == shown->y && now->width == shown->width &&
                              now->height == shown->height;
            steady = same ? steady + 1 : 0;
            shown = now;
            return steady >= 20; // about 0.1 s unchanged
        },
        5s);
    const bool saved = shown && seat.saveScreenshot(path);
    seat.tap(xKey(keyEscape));
    seat.waitForReleases(mark, 1, 2s);
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 200;
    if (sessions <= 0) {
        std::fprintf(stderr, "usage: %s [sessions]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_app_latency: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "tavlin_app_latency: cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    PrivateBus bus;
    AppHome home;
    home.writeConfiguration(configuration);

    AppProcess app(TAVLIN_EXECUTABLE, {}, home, bus.address());
    if (!app.waitUntilReady()) {
        std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
        return 1;
    }
    const double startup = milliseconds(Clock::now() - app.startTime());
    if (!seat->takeFocusFrom(app.pid())) {
        std::fprintf(stderr, "our window did not get the input focus\n");
        return 1;
    }
    std::this_thread::sleep_for(1s);
    const auto idleAtStart = residentKiB(app.pid());

    // Before the sessions: the first hint of a run is placed afresh, later ones where the last was.
    std::string screenshot;
    if (const char* path = std::getenv("TAVLIN_SCREENSHOT")) screenshot = saveScreenshot(*seat, app, path) ? path : "(failed)";

    std::vector<double> toGrab, toRelease, toAction;
    int lost = 0;
    for (int i = 0; i < sessions && lost <= sessions / 10;) {
        const auto opened = openSession(*seat);
        if (!opened) {
            // Late after all, or lost: start over from a free keyboard.
            ++lost;
            const auto mark = seat->counts();
            if (seat->waitUntil([&] { return seat->keyboardHeld(); }, 200ms)) {
                seat->tap(xKey(keyEscape));
                seat->waitForReleases(mark, 1, 2s);
            }
            continue;
        }
        const auto mark = seat->counts();
        const auto typed = Clock::now();
        seat->tap(xKey(keyO));
        if (!seat->waitForReleases(mark, 1, 2s)) {
            std::fprintf(stderr, "the leaf key did not end session %d\n%s\n", i + 1, app.outputTail().c_str());
            return 1;
        }
        const auto ended = Clock::now();
        const auto urls = static_cast<std::size_t>(i) + 1;
        if (!pollUntil([&] { return home.openedURLs().size() >= urls; }, 2s)) {
            std::fprintf(stderr, "the leaf's action did not run in session %d\n", i + 1);
            return 1;
        }
        const auto acted = Clock::now();
        toGrab.push_back(milliseconds(opened->grabbed - opened->released));
        toRelease.push_back(milliseconds(ended - typed));
        toAction.push_back(milliseconds(acted - typed));
        ++i;
    }
    if (toGrab.size() < static_cast<std::size_t>(sessions)) {
        std::fprintf(stderr, "too many leader keys lost (%d)\n", lost);
        return 1;
    }

    std::this_thread::sleep_for(1s);
    const auto idleAfter = residentKiB(app.pid());

    std::printf("tavlin_app_latency: %d sessions, leader key control+option+T, leaf key O\n", sessions);
    std::printf("%-52s %7.1f ms\n", "start-up (process start to \"tavlin: ready\")", startup);
    std::printf("%-52s %7.1f MiB after start, %.1f MiB after the sessions\n", "idle resident memory (VmRSS)",
                idleAtStart.value_or(0) / 1024.0, idleAfter.value_or(0) / 1024.0);
    print("leader key released -> window holds the keyboard", toGrab);
    print("leaf key typed -> keyboard released", toRelease);
    print("leaf key typed -> xdg-open ran (2 ms polling)", toAction);
    std::printf("%-52s %d\n", "leader keys lost and typed again", lost);
    if (!screenshot.empty()) std::printf("%-52s %s\n", "screenshot", screenshot.c_str());
    if (!app.stop()) std::fprintf(stderr, "the application did not end cleanly on SIGTERM\n");
    return 0;
}
