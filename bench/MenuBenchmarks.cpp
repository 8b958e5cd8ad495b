// The node-edit menu is rebuilt on every selection change in the configuration window; the
// largest layout has 17 entries. Target: under 1 ms per rebuild. Runs on the offscreen platform.

#include <benchmark/benchmark.h>

#include <QtWidgets/QMenu>

#include "BenchmarkSupport.h"
#include "app/NodeEditMenu.h"

namespace tavlin::bench {
namespace {

// What the next turn of the event loop does after a rebuild: the menu takes in its changes and
// the dropped entries go (outside a running loop only an explicit call deletes them).
void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::vector<app::NodeEditMenuEntry> seventeenEntries() {
    std::vector<app::NodeEditMenuEntry> entries;
    for (int i = 0; i < 17; ++i) {
        if (i % 5 == 4) entries.emplace_back(app::NodeEditMenuSeparator{});
        else entries.emplace_back(app::NodeEditMenuItem{"Command number " + std::to_string(i), i % 3 != 0, [] {}});
    }
    return entries;
}

void BM_NodeEditMenuRebuild(benchmark::State& state) {
    QMenu menu;
    app::NodeEditMenu host(menu);
    host.setProvider(seventeenEntries);
    for (auto _ : state) {
        host.selectionChanged();
        settle();
        benchmark::DoNotOptimize(menu.actions().size());
    }
}
BENCHMARK(BM_NodeEditMenuRebuild)->Unit(benchmark::kMicrosecond);

// The selection moving between a node with the full layout and one with a short layout: entries
// are made and dropped each time.
void BM_NodeEditMenuRebuildBetweenLayouts(benchmark::State& state) {
    QMenu menu;
    app::NodeEditMenu host(menu);
    bool full = true;
    host.setProvider([&] {
        auto entries = seventeenEntries();
        if (!full) entries.resize(4);
        return entries;
    });
    for (auto _ : state) {
        full = !full;
        host.selectionChanged();
        settle();
        benchmark::DoNotOptimize(menu.actions().size());
    }
}
BENCHMARK(BM_NodeEditMenuRebuildBetweenLayouts)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tavlin::bench

int main(int argc, char** argv) { return tavlin::bench::runBenchmarks(argc, argv); }
