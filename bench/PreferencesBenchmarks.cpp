// The Settings window: from "Settings…" to the window on screen (target under 100 ms), and one
// tick of its helper list on the main thread, the bus's answer excluded (target under 2 ms).
// Runs on the offscreen platform in a throwaway home.

#include <functional>
#include <memory>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QtGui/QWindow>

#include "BenchmarkSupport.h"
#include "app/SettingsWindow.h"
#include "flateditor/HelperStatusSection.h"
#include "flateditor/PreferencesContentView.h"
#include "platform/dbus/QtMainQueue.h"
#include "platform/desktop/Workspace.h"
#include "platform/linux/XdgWorkspace.h"

namespace tavlin::bench {
namespace {

void turnUntil(const std::function<bool()>& done) {
    for (int turns = 0; turns < 100000 && !done(); ++turns) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_PreferencesWindowOnScreen(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<app::SettingsWindow> window;
        app::SettingsWindow::present(window);
        turnUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); });
        state.PauseTiming();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreferencesWindowOnScreen)->Unit(benchmark::kMillisecond);

// A tick asks the bus; its answer (here this process, as if it owned the helper's name) is
// turned into the list and the section drawn again when the list changed.
void BM_HelperTick(benchmark::State& state) {
    std::unique_ptr<app::SettingsWindow> window;
    app::SettingsWindow::present(window);
    turnUntil([&] { return window->isActiveWindow(); });
    auto* section = dynamic_cast<flateditor::PreferencesContentView*>(window->content())->helperSection();
    const auto pid = static_cast<std::int64_t>(::getpid());
    for (auto _ : state) {
        section->refreshHelperInfos();
        section->takeBusAnswer(pid);
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["listed"] = static_cast<double>(section->helperInfos().size());
}
BENCHMARK(BM_HelperTick)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tavlin::bench

// The window asks the workspace for applications and turns the Qt event loop's main queue.
int main(int argc, char** argv) {
    return tavlin::bench::runBenchmarks(argc, argv, [](const tavlin::bench::BenchmarkRun& run) {
        tavlin::QtMainQueue queue;
        tavlin::xdg::XdgWorkspace workspace(queue);
        tavlin::Workspace::setShared(&workspace);
        run();
        tavlin::Workspace::setShared(nullptr);
    });
}
