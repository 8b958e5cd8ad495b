// What the launcher holds while it waits for its leader keys, 1 s after "tavlin: ready": resident
// memory and the private dirty part of it (smaps_rollup: what no other process could share; a
// library's clean pages count as private only while no other process maps it, so they are left
// out), its threads by name, and the image and icon plug-ins it has loaded. Two configurations,
// a tree of 10 chances and the first launch's flat list, each next to its floor in the same run:
// a bare Qt program of this same file that shows one window (run as `--bare-window`). Target:
// idle RSS <= 32 MiB, no thread that waits for nothing, no plug-in that nothing drew.
//
// It opens windows on $DISPLAY, so run it on a private X server:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_idle_footprint [runs]   # default 5
//   kill $xvfb
//
// Right after a build, `sync` first: the pages of a library written moments ago are still dirty
// in the page cache, and count as private dirty. TAVLIN_BENCH_EXECUTABLE names another build's
// `tavlin` to measure instead. Build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include "ChancesConfiguration.h"
#include "RealApplication.h"
#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"

namespace {

using namespace std::chrono_literals;
using namespace tavlin::e2e;

int runBareWindow() {
    int argc = 1;
    char name[] = "bare";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("A window of a bare Qt program"));
    window.setWindowTitle(QStringLiteral("Configuration"));
    window.resize(720, 500);
    window.show();
    return application.exec();
}

struct Footprint {
    double rss = 0, privateDirty = 0; // MiB
    std::map<std::string, int> threads;
    int plugins = 0;
};

Footprint footprintOf(pid_t pid) {
    const std::filesystem::path proc = "/proc/" + std::to_string(pid);
    Footprint footprint;
    std::istringstream rollup(fileText(proc / "smaps_rollup"));
    for (std::string line; std::getline(rollup, line);) {
        char key[64];
        long kib = 0;
        if (std::sscanf(line.c_str(), "%63s %ld kB", key, &kib) != 2) continue;
        if (std::strcmp(key, "Rss:") == 0) footprint.rss = kib / 1024.0;
        if (std::strcmp(key, "Private_Dirty:") == 0) footprint.privateDirty = kib / 1024.0;
    }
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(proc / "task", error)) {
        std::string name = fileText(task.path() / "comm");
        if (!name.empty() && name.back() == '\n') name.pop_back();
        ++footprint.threads[name];
    }
    std::istringstream maps(fileText(proc / "maps"));
    std::vector<std::string> loaded;
    for (std::string line; std::getline(maps, line);) {
        for (const char* folder : {"/imageformats/", "/iconengines/"}) {
            const auto at = line.find(folder);
            if (at != std::string::npos) loaded.push_back(line.substr(at));
        }
    }
    std::sort(loaded.begin(), loaded.end());
    footprint.plugins = static_cast<int>(std::unique(loaded.begin(), loaded.end()) - loaded.begin());
    return footprint;
}

// Started, given `settled` to come, then 1 s more; nothing when it never came.
template <typename Settled>
std::optional<Footprint> idle(AppProcess& process, Settled settled) {
    if (!settled()) {
        std::fprintf(stderr, "it did not settle\n%s\n", process.outputTail().c_str());
        return std::nullopt;
    }
    std::this_thread::sleep_for(1s);
    auto footprint = footprintOf(process.pid());
    process.stop();
    return footprint;
}

void print(const std::string& what, std::vector<Footprint> samples) {
    if (samples.empty()) return;
    const auto median = [&](auto field) {
        std::vector<double> values;
        for (const auto& sample : samples) values.push_back(field(sample));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("%-30s RSS %5.1f MiB   private dirty %4.1f MiB   threads %2.0f   image and icon plug-ins %.0f\n", what.c_str(),
                median([](const Footprint& f) { return f.rss; }), median([](const Footprint& f) { return f.privateDirty; }),
                median([](const Footprint& f) {
                    int count = 0;
                    for (const auto& [name, n] : f.threads) count += n;
                    return double(count);
                }),
                median([](const Footprint& f) { return double(f.plugins); }));
    std::string names;
    for (const auto& [name, count] : samples.back().threads)
        names += "  " + name + (count > 1 ? " x" + std::to_string(count) : "");
    std::printf("%-30s threads:%s\n", "", names.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare-window") == 0) return runBareWindow();
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: %s [runs]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_idle_footprint: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    const std::string executable = tavlin::bench::measuredExecutable();
    const std::string bare = tavlin::bench::thisExecutable();
    if (bare.empty()) return 1;
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "tavlin_idle_footprint: cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    std::vector<Footprint> tree, flat, floor;
    for (int i = 0; i < runs; ++i) {
        PrivateBus bus;
        for (const bool generated : {false, true}) {
            AppHome home;
            // No file at first launch: the flat list is generated and shown.
            if (!generated) home.writeConfiguration(tavlin::bench::configurationWithChances(10));
            AppProcess app(executable, {}, home, bus.address());
            const auto footprint = idle(app, [&] { return app.waitUntilReady(60s); });
            if (!footprint) return 1;
            (generated ? flat : tree).push_back(*footprint);
        }
        AppHome home;
        AppProcess window(bare, {"--bare-window"}, home, bus.address());
        const auto footprint = idle(window, [&] {
            return seat->waitUntil(
                       [&] {
                           const auto shown = seat->shownWindowGeometry(window.pid(), "Configuration");
                           return (shown && seat->distinctColors(*shown) >= 2) || !window.running();
                       },
                       30s) &&
                   window.running();
        });
        if (!footprint) return 1;
        floor.push_back(*footprint);
    }
    std::printf("tavlin_idle_footprint: %s, %d runs, load average %s", executable.c_str(), runs,
                fileText("/proc/loadavg").c_str());
    print("tree of 10 chances", tree);
    print("first launch, flat list", flat);
    print("bare Qt program, one window", floor);
    return 0;
}
