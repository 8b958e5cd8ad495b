// The shortcut library: the conflict probe on the X server of $DISPLAY (skipped without one),
// a name's change with many recorders and bound actions on other names, and a key press in the
// recorder until the shortcut is stored. Widgets run on the offscreen platform.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <benchmark/benchmark.h>

#include "BenchmarkSupport.h"
#include "platform/files/UserDefaults.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "shortcutkit/ShortcutStore.h"
#include "shortcutkit/qt/ActionShortcut.h"
#include "shortcutkit/qt/RecorderControl.h"

namespace tavlin::bench {
namespace {

using namespace shortcutkit;

// 1,000 probes of a free combination: median and 99th percentile in microseconds.
void BM_ConflictProbe(benchmark::State& state) {
    auto registrar = X11HotKeyRegistrar::open(std::getenv("XVFB_DISPLAY"));
    if (!registrar) {
        state.SkipWithError("no X server: set XVFB_DISPLAY to a private Xvfb");
        return;
    }
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        for (int i = 0; i < 1000; ++i) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(registrar->isHeldByAnotherProgram(keys::j.rawValue, carbon::control | carbon::option));
            times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["p99_us"] = times[times.size() * 99 / 100];
}
BENCHMARK(BM_ConflictProbe)->Iterations(1)->Unit(benchmark::kMillisecond);

struct Widgets {
    QWidget window;
    std::vector<RecorderControl*> recorders;
    std::vector<std::unique_ptr<QAction>> actions;
    Widgets() {
        auto* layout = new QVBoxLayout(&window);
        for (int i = 0; i < 200; ++i) {
            recorders.push_back(new RecorderControl(Name("recorder-" + std::to_string(i)), {}, &window));
            layout->addWidget(recorders.back());
            actions.push_back(std::make_unique<QAction>());
            setShortcut(actions.back().get(), Name("action-" + std::to_string(i)));
        }
    }
};

// The announcement alone: what 200 recorders and 200 bound actions add to a change.
void BM_NameChangeAnnounced(benchmark::State& state) {
    Widgets widgets;
    const Name changed("changed");
    for (auto _ : state) postShortcutByNameDidChange(changed);
}
BENCHMARK(BM_NameChangeAnnounced)->Unit(benchmark::kMicrosecond);

// The whole change, the suite's file written (and flushed to disk) included.
void BM_NameChangeStored(benchmark::State& state) {
    Widgets widgets;
    const Name changed("changed");
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        setShortcut(Shortcut(flip ? keys::j.rawValue : keys::k.rawValue, carbon::control | carbon::option), changed);
    }
}
BENCHMARK(BM_NameChangeStored)->Unit(benchmark::kMicrosecond);

// A key press reaching a recording recorder, until the shortcut is stored.
void BM_KeyPressToStoredShortcut(benchmark::State& state) {
    QWidget window;
    auto* recorder = new RecorderControl(Name("recorded"), {}, &window);
    (new QVBoxLayout(&window))->addWidget(recorder);
    window.show();
    QApplication::processEvents();
    const auto xJ = *keycodes::xKeycode(keys::j.rawValue);
    for (auto _ : state) {
        state.PauseTiming();
        recorder->setFocus();
        state.ResumeTiming();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier, xJ, 0, 0);
        QApplication::sendEvent(recorder, &press);
    }
}
BENCHMARK(BM_KeyPressToStoredShortcut)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tavlin::bench

// The probe reaches the X server only through XVFB_DISPLAY; widgets stay offscreen.
int main(int argc, char** argv) {
    tavlin::setCurrentKeyboardLayout(tavlin::KeyboardLayout::fromNames({.layout = "us"}));
    return tavlin::bench::runBenchmarks(argc, argv);
}
