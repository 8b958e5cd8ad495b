// The Settings window: from "Settings…" to the window on screen (target under 100 ms), and one
// tick of its helper list on the main thread, the bus's answer excluded (target under 2 ms).
// Runs on the offscreen platform in a throwaway home.

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QtGui/QWindow>
#include <QtWidgets/QApplication>

#include "app/SettingsWindow.h"
#include "flateditor/HelperStatusSection.h"
#include "flateditor/PreferencesContentView.h"
#include "platform/Workspace.h"
#include "platform/dbus/QtMainQueue.h"
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

int main(int argc, char** argv) {
    char folder[] = "/tmp/tavlin-bench-XXXXXX";
    if (!::mkdtemp(folder)) return 1;
    const std::filesystem::path root(folder);
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    std::filesystem::create_directories(root / "home");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int status = 0;
    {
        QApplication application(argc, argv);
        tavlin::QtMainQueue queue;
        tavlin::xdg::XdgWorkspace workspace(queue);
        tavlin::Workspace::setShared(&workspace);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        tavlin::Workspace::setShared(nullptr);
    }
    std::filesystem::remove_all(root);
    return status;
}
