// Start-up of the real application with a large configuration: process start until it prints
// "tavlin: ready", which it does once the leader keys are registered. The configuration holds
// 10,000 chances (or as many as the first argument says) under one combination leader key.
//
// It opens windows on $DISPLAY, so run it on a private X server:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_startup_latency [chances] [runs]   # default 10000 10
//   kill $xvfb
//
// Build with CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/AppDriver.h"

namespace {

using namespace tavlin::e2e;

std::string configurationWith(int chances) {
    std::string text = R"({"hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],)"
                       "\n\"decision\": {\"actions\": [], \"chances\": [\n";
    for (int i = 0; i < chances; ++i) {
        if (i > 0) text += ",\n";
        text += R"(  {"pattern": {"key": {"allowedKeyCodes": [)" + std::to_string(i % 50) +
                R"(]}}, "decision": {"actions": [{"openURL": {"url": "https://example.com/)" + std::to_string(i) +
                R"("}}], "chances": []}})";
    }
    return text + "\n]}}\n";
}

} // namespace

int main(int argc, char** argv) {
    const int chances = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    if (chances <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: %s [chances] [runs]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_startup_latency: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        PrivateBus bus;
        AppHome home;
        home.writeConfiguration(configurationWith(chances));
        AppProcess app(TAVLIN_EXECUTABLE, {}, home, bus.address());
        if (!app.waitUntilReady(std::chrono::seconds(60))) {
            std::fprintf(stderr, "the application did not get ready\n%s\n", app.outputTail().c_str());
            return 1;
        }
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - app.startTime()).count());
        app.stop();
    }
    std::sort(samples.begin(), samples.end());
    std::printf(
        "tavlin_startup_latency: %d chances, %d runs: start to leader keys registered median %.1f ms, "
        "min %.1f ms, max %.1f ms\n",
        chances, runs, samples[samples.size() / 2], samples.front(), samples.back());
    return 0;
}
