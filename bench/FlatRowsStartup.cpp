// Start-up of the real application with many flat rows: process start until it prints
// "tavlin: ready", on a configuration generated from the same rows by an earlier start. Prints
// the peak resident memory at ready (VmHWM) and how often a start replaced configuration.json.
// Then as many starts with control+option+T (one row more) tapped every 2 ms from the start:
// start until the first press its grab takes.
//
// It opens windows and types on $DISPLAY, so run it on a private X server:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_flat_rows_startup [rows] [runs]   # default 10000 10
//   kill $xvfb
//
// TAVLIN_BENCH_EXECUTABLE names another build's `tavlin` to measure instead. Build with
// CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "RealApplication.h"
#include "SampleRows.h"
#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"
#include "model/Settings.h"

namespace {

using namespace tavlin::e2e;

// Peak resident memory of a running process, in MB.
double peakResidentMB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0;
}

struct FileVersion {
    ino_t inode = 0;
    timespec modified{};
    off_t size = 0;
    bool operator==(const FileVersion& o) const {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               size == o.size;
    }
};

FileVersion versionOf(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return {};
    return {info.st_ino, info.st_mtim, info.st_size};
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rowCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    if (rowCount <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: %s [rows] [runs]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_flat_rows_startup: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    const std::string executable = tavlin::bench::measuredExecutable();
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "tavlin_flat_rows_startup: cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    constexpr int keyT = 17, keyEscape = 53;
    PrivateBus bus;
    AppHome home;
    home.withStores([&] {
        using namespace tavlin;
        auto rows = bench::sampleRows(rowCount);
        rows.emplace_back(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), std::vector<std::int64_t>{0},
                          Action(Action::Kind::openURL{"https://example.com/t", std::nullopt}), false,
                          LeaderKey::press(HotKey::combo(keyT, 0x1000 | 0x800)));
        settings::setFlatKeysAndActionRows(rows);
    });
    {
        // The first start generates the file; the runs measure starts that find it made.
        AppProcess first(executable, {}, home, bus.address());
        if (!first.waitUntilReady(std::chrono::seconds(120))) {
            std::fprintf(stderr, "the application did not get ready\n%s\n", first.outputTail().c_str());
            return 1;
        }
        first.stop();
    }
    std::vector<double> times, peaks;
    int rewrites = 0;
    for (int i = 0; i < runs; ++i) {
        const FileVersion before = versionOf(home.configurationFile());
        AppProcess app(executable, {}, home, bus.address());
        if (!app.waitUntilReady(std::chrono::seconds(120))) {
            std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - app.startTime()).count());
        peaks.push_back(peakResidentMB(app.pid()));
        if (!(versionOf(home.configurationFile()) == before)) ++rewrites;
        app.stop();
    }
    std::vector<double> grabbed;
    for (int i = 0; i < runs; ++i) {
        seat->takeFocusBack(std::chrono::seconds(1));
        AppProcess app(executable, {}, home, bus.address());
        const auto first = seat->openSessionAsSoonAsGrabbed(xKey(keyT), std::chrono::seconds(60));
        if (!first) {
            std::fprintf(stderr, "no press was grabbed\n%s\n", app.outputTail().c_str());
            return 1;
        }
        grabbed.push_back(std::chrono::duration<double, std::milli>(first->pressed - app.startTime()).count());
        if (first->sessionGrabbed) {
            const auto mark = seat->counts();
            seat->tap(xKey(keyEscape));
            seat->waitForReleases(mark, 1, std::chrono::seconds(2));
        }
        if (!app.waitUntilReady(std::chrono::seconds(120))) {
            std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
            return 1;
        }
        app.stop();
    }
    std::printf(
        "tavlin_flat_rows_startup: %s, %d rows, %d runs: start to ready median %.1f ms (min %.1f, max %.1f), "
        "peak RSS median %.1f MB, configuration.json %.1f MB, replaced by %d of %d starts; "
        "start to hot key grabbed median %.1f ms (min %.1f, max %.1f)\n",
        executable.c_str(), rowCount + 1, runs, median(times), *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()), median(peaks),
        static_cast<double>(versionOf(home.configurationFile()).size) / 1e6, rewrites, runs, median(grabbed),
        *std::min_element(grabbed.begin(), grabbed.end()), *std::max_element(grabbed.begin(), grabbed.end()));
    return 0;
}
