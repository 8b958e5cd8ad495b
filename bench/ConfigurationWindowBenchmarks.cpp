#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>

#include <time.h>

#include <QtWidgets/QScrollBar>

#include "BenchmarkSupport.h"
#include "SampleTree.h"
#include "configwindow/ConfigurationWindowContentView.h"
#include "configwindow/DecisionTreeView.h"
#include "model/Configuration.h"

// The configuration window on the 10,000-chance sample tree, offscreen: opening it, editing it
// (the view rebuilt with expansion, selection and scroll restored), saving, and collapsing.
namespace tavlin::bench {
namespace {

std::shared_ptr<Configuration> sampleConfiguration() {
    return std::make_shared<Configuration>(std::nullopt, std::vector<HotKey>{}, sampleTree());
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One window's content over its own model and selection.
// This thread's processor time in seconds: the machine may be shared, and the view's work is
// all on this thread.
double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Window {
    using Clock = std::chrono::steady_clock;
    ConfigurationWindowModel model{sampleConfiguration()};
    // Told first once a change is saved: where the view's share of the change begins.
    Clock::time_point savedAt;
    double savedAtThreadSeconds = 0;
    ConfigurationWindowModel::ObserverToken savedToken = model.addObserver({nullptr, [this] {
                                                                                savedAt = Clock::now();
                                                                                savedAtThreadSeconds = threadSeconds();
                                                                            }});
    Selection selection{model};
    ConfigurationWindowContentView view{model, selection, nullptr};

    Window() { view.resize(720, 500); }
    DecisionTreeView& tree() { return *view.treeView(); }
    void paint() { view.grab(); }
};

void BM_ContentToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        Window window;
        window.view.show();
        window.paint();
        state.PauseTiming();
        window.view.hide();
        state.counters["resident_MB"] = residentMegabytes();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ContentToFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

// An edit as the executor makes it. The time reported is the view's share, in this thread's
// processor time: from the save's end to the tree reset, with expansion, selection and scroll
// restored, and repainted ("view_wall_ms" is the same in wall time). The whole edit, change and
// save included, is "with_save_ms"; the save alone is measured below.
void editBenchmark(benchmark::State& state, const std::function<void(Decision& root)>& edit) {
    Window window;
    window.view.show();
    // Somewhere in the middle: a chance collapsed, a row current and selected, scrolled down.
    auto& tree = window.tree();
    const QModelIndex fifth = tree.treeModel().index(5, 0);
    tree.collapse(tree.treeModel().index(2, 0));
    tree.setCurrentIndex(fifth);
    window.selection.selectChance(tree.treeModel().row(fifth)->chance->id);
    tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum() / 2);
    window.paint();
    double total = 0, viewWall = 0;
    for (auto _ : state) {
        const auto start = Window::Clock::now();
        window.model.applyChange([&] { edit(*window.model.rootDecision()); });
        window.paint();
        const auto end = Window::Clock::now();
        state.SetIterationTime(threadSeconds() - window.savedAtThreadSeconds);
        viewWall += std::chrono::duration<double, std::milli>(end - window.savedAt).count();
        total += std::chrono::duration<double, std::milli>(end - start).count();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["with_save_ms"] = total / iterations;
    state.counters["view_wall_ms"] = viewWall / iterations;
}

void BM_EditInsert(benchmark::State& state) {
    editBenchmark(state, [](Decision& root) { root.actions.push_back(Action(Action::Kind::openFinder{})); });
}
BENCHMARK(BM_EditInsert)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_EditDelete(benchmark::State& state) {
    editBenchmark(state, [](Decision& root) {
        auto& chances = root.chances[9]->decision->chances;
        if (!chances.empty()) chances.pop_back();
    });
}
BENCHMARK(BM_EditDelete)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_EditSort(benchmark::State& state) {
    editBenchmark(state, [](Decision& root) {
        auto sorted = root.sortedByPattern();
        root.chances = sorted->chances;
    });
}
BENCHMARK(BM_EditSort)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

// The save on its own, to tell it apart from the view's share of an edit.
void BM_Save(benchmark::State& state) {
    ConfigurationWindowModel model(sampleConfiguration());
    for (auto _ : state) model.save();
    state.counters["file_MB"] = static_cast<double>(sampleTreeText().size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CollapseThousandDescendants(benchmark::State& state) {
    Window window;
    window.view.show();
    window.paint();
    auto& tree = window.tree();
    const QModelIndex first = tree.treeModel().index(0, 0);
    for (auto _ : state) {
        tree.collapse(first);
        window.tree().viewport()->repaint();
        state.PauseTiming();
        tree.expand(first);
        window.tree().viewport()->repaint();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CollapseThousandDescendants)->Unit(benchmark::kMillisecond)->Iterations(20);

// A tree of 20 actions with a 1 MB description each, repainted: a row lays out only what it shows.
void BM_RepaintLongDescriptions(benchmark::State& state) {
    auto root = Decision::make();
    for (int i = 0; i < 20; ++i) root->actions.emplace_back(Action::Kind::sleep{}, std::string(1 << 20, 'x') + std::to_string(i));
    ConfigurationWindowModel model(std::make_shared<Configuration>(std::nullopt, std::vector<HotKey>{}, root));
    Selection selection(model);
    ConfigurationWindowContentView view(model, selection, nullptr);
    view.resize(720, 500);
    view.show();
    for (auto _ : state) view.treeView()->viewport()->grab();
    state.counters["resident_MB"] = residentMegabytes();
}
BENCHMARK(BM_RepaintLongDescriptions)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace tavlin::bench

int main(int argc, char** argv) { return tavlin::bench::runBenchmarks(argc, argv); }
