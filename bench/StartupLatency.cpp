// Start-up of the real application as a user meets it: from the process's start until its leader
// key works. Control+option+T is tapped every 2 ms from the start; "hot key live" is the first
// press the application's grab takes, and that tap must open a session that keeps the focus
// (one whose grab our window does not see, because a window of the application took the focus,
// counts as lost). Also the time until it prints "tavlin: ready", its resident memory once idle,
// and, after that, the leader key's release until the input window holds the keyboard: the first
// session after ready against the later ones (a session decodes nothing while the file is
// unchanged), and the memory after them. The configuration holds 10 chances (or as many as the
// first argument says) under that leader key.
//
// In the same runs, interleaved, the same start and taps are measured for xbindkeys (when it is
// installed) bound to the same combination, and for a floor program that only grabs it: "hot key
// live" is again the first press their grab takes, and "served" the moment the line their
// command (or they) print on that press arrives.
//
// It types on $DISPLAY, so run it on a private X server:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_startup_latency [chances] [runs] [quiet]   # default 10 20
//   kill $xvfb
//
// TAVLIN_BENCH_EXECUTABLE names another build's `tavlin` to measure instead (its
// libtavlin_application.so beside it). Build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "ChancesConfiguration.h"
#include "RealApplication.h"
#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"

namespace {

using namespace std::chrono_literals;
using namespace tavlin::e2e;

constexpr int keyT = 17, keyEscape = 53;
constexpr int laterSessionsPerRun = 3;

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

void print(const char* what, std::vector<double> samples, const char* unit = "ms") {
    if (samples.empty()) {
        std::printf("%-46s (no samples)\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-46s median %7.1f %s   min %7.1f   max %7.1f\n", what, samples[samples.size() / 2], unit, samples.front(),
                samples.back());
}

// A hot-key program other than ours: how soon its grab takes a press, and how soon that press
// is served, as the line it prints on its standard output.
struct Peer {
    std::string name;
    std::string executable;
    std::vector<std::string> arguments;
    std::vector<double> live, served;
    int lost = 0;
};

// The time the next line on the pipe arrived; nothing when none came within the limit.
std::optional<Clock::time_point> lineArrival(int descriptor, std::chrono::milliseconds limit) {
    pollfd readable{descriptor, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&readable, 1, static_cast<int>(limit.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return std::nullopt;
    const auto at = Clock::now();
    // A pipe whose writers all went away is readable too, with nothing in it.
    char byte = 0;
    if (::read(descriptor, &byte, 1) != 1) return std::nullopt;
    return at;
}

bool measurePeer(Peer& peer, UserSeat& seat, const AppHome& home, const std::string& busAddress) {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return false;
    seat.takeFocusBack(1s);
    AppProcess process(peer.executable, peer.arguments, home, busAddress, output[1]);
    ::close(output[1]);
    // Watched while the keys are typed: the line comes before the typing is over.
    std::optional<Clock::time_point> served;
    std::thread watcher([&] { served = lineArrival(output[0], 12s); });
    const auto first = seat.openSessionAsSoonAsGrabbed(xKey(keyT), 10s, false);
    if (!first) process.stop();
    watcher.join();
    ::close(output[0]);
    if (!first) {
        std::fprintf(stderr, "%s: no press was grabbed\n", peer.name.c_str());
        return false;
    }
    peer.live.push_back(milliseconds(first->pressed - process.startTime()));
    if (served) peer.served.push_back(milliseconds(*served - process.startTime()));
    else ++peer.lost;
    process.stop();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int chances = argc > 1 ? std::atoi(argv[1]) : 10;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    // "quiet": no key is typed until ready, as after a restart nobody is typing.
    const bool quiet = argc > 3 && std::string(argv[3]) == "quiet";
    if (chances <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: %s [chances] [runs]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_startup_latency: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    const std::string executable = tavlin::bench::measuredExecutable();
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "tavlin_startup_latency: cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    std::vector<double> live, opened, ready, resident, firstSession, laterSessions, residentAfter;
    int lost = 0, lostSessions = 0;
    std::vector<Peer> peers;
    if (::access("/usr/bin/xbindkeys", X_OK) == 0)
        peers.push_back({"xbindkeys", "/usr/bin/xbindkeys", {"-n", "-f", ""}, {}, {}, 0});
    else std::fprintf(stderr, "tavlin_startup_latency: xbindkeys is not installed; measured without it\n");
    peers.push_back({"floor (XGrabKey alone)", TAVLIN_GRAB_FLOOR, {std::to_string(xKey(keyT))}, {}, {}, 0});
    for (int i = 0; i < runs; ++i) {
        PrivateBus bus;
        AppHome home;
        if (!quiet) {
            for (auto& peer : peers) {
                // Its configuration in a home of its own, each run anew as ours.
                AppHome peerHome;
                auto arguments = peer.arguments;
                if (peer.name == "xbindkeys") {
                    arguments[2] = (peerHome.root() / "xbindkeysrc").string();
                    std::ofstream(arguments[2]) << "\"echo served\"\n  control+alt + t\n";
                }
                Peer run{peer.name, peer.executable, arguments, {}, {}, 0};
                if (!measurePeer(run, *seat, peerHome, bus.address())) return 1;
                peer.live.insert(peer.live.end(), run.live.begin(), run.live.end());
                peer.served.insert(peer.served.end(), run.served.begin(), run.served.end());
                peer.lost += run.lost;
            }
        }
        home.writeConfiguration(tavlin::bench::configurationWithChances(chances));
        seat->takeFocusBack(1s);
        AppProcess app(executable, {}, home, bus.address());
        if (!quiet) {
            const auto first = seat->openSessionAsSoonAsGrabbed(xKey(keyT));
            if (!first) {
                std::fprintf(stderr, "no press was grabbed\n%s\n", app.outputTail().c_str());
                return 1;
            }
            live.push_back(milliseconds(first->pressed - app.startTime()));
            if (first->sessionGrabbed) {
                opened.push_back(milliseconds(*first->sessionGrabbed - app.startTime()));
                const auto mark = seat->counts();
                seat->tap(xKey(keyEscape));
                seat->waitForReleases(mark, 1, 2s);
            } else {
                ++lost;
                std::fprintf(stderr, "run %d: the first grabbed press opened no session\n%s\n", i + 1, app.outputTail().c_str());
            }
        }
        if (!app.waitUntilReady(60s)) {
            std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
            return 1;
        }
        const auto readyAt = Clock::now();
        ready.push_back(milliseconds(readyAt - app.startTime()));
        std::this_thread::sleep_until(readyAt + 1s);
        if (const auto kib = residentKiB(app.pid())) resident.push_back(*kib / 1024.0);
        if (!seat->takeFocusFrom(app.pid())) {
            std::fprintf(stderr, "our window did not get the input focus\n");
            return 1;
        }
        for (int session = 0; session < laterSessionsPerRun + 1; ++session) {
            const auto began = seat->openSessionWithControlOption(xKey(keyT));
            if (!began) {
                // The next one would not be the first any more, nor measured as a later one.
                ++lostSessions;
                break;
            }
            (session == 0 ? firstSession : laterSessions).push_back(milliseconds(began->grabbed - began->released));
            const auto mark = seat->counts();
            seat->tap(xKey(keyEscape));
            seat->waitForReleases(mark, 1, 2s);
        }
        if (const auto kib = residentKiB(app.pid())) residentAfter.push_back(*kib / 1024.0);
        app.stop();
    }
    std::printf("tavlin_startup_latency: %s, %d chances, %d runs\n", executable.c_str(), chances, runs);
    print("start -> first press the hot key takes", live);
    print("start -> that press's session holds keyboard", opened);
    for (const auto& peer : peers) {
        print((peer.name + ": start -> first press its grab takes").c_str(), peer.live);
        print((peer.name + ": start -> that press served").c_str(), peer.served);
        if (peer.lost) std::printf("%-46s %d of %d\n", (peer.name + ": grabbed presses not served").c_str(), peer.lost, runs);
    }
    print("start -> \"tavlin: ready\"", ready);
    print("idle resident memory (VmRSS, 1 s after ready)", resident, "MiB");
    std::printf("%-46s %d of %d\n", "first grabbed presses that opened no session", lost, runs);
    print("first session after ready: release -> grab", firstSession);
    print("later sessions: release -> grab", laterSessions);
    print("resident memory after those sessions", residentAfter, "MiB");
    std::printf("%-46s %d of %d\n", "runs whose sessions were cut short by a loss", lostSessions, runs);
    return 0;
}
