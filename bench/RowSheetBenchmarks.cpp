#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "flateditor/core/RowComposeSheetState.h"
#include "model/Settings.h"
#include "platform/files/UserDefaults.h"

#include "BenchmarkSupport.h"

namespace tavlin {
namespace {

using SheetBenchmarkHome = bench::BenchmarkHome;

void reportPercentiles(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double fraction) { return samples[static_cast<std::size_t>(fraction * double(samples.size() - 1))]; };
    state.counters["median_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
}

// One trigger-key change in the edit sheet of a row among 1,000 stored ones: the validation the
// change runs, then the conflict text and the red line the redraw reads. Adding and deleting
// alternate, so the keys stay short.
void BM_RowSheetTriggerKeyChange(benchmark::State& state) {
    SheetBenchmarkHome home;
    const auto rows = makeBenchmarkRows(1000);
    (void)settings::setFlatKeysAndActionRows(rows);
    const bool afterSuiteChange = state.range(0) != 0;
    flateditor::RowComposeSheetState sheet(
        flateditor::RowSheetItem(flateditor::RowChangeKind{flateditor::RowChangeKind::edit{rows[500]}}, nullptr),
        flateditor::LeaderKeySuspension::Switches{});
    std::vector<double> samples;
    bool add = true;
    for (auto _ : state) {
        if (afterSuiteChange) {
            // Any write to the suite drops the decoded rows: the next change decodes them again.
            state.PauseTiming();
            (void)settings::appGroupStore()->set("benchmarkTouch", static_cast<std::int64_t>(samples.size()));
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        if (add) sheet.appendKey(0);
        else sheet.deleteKey(sheet.currentKeys().size() - 1);
        benchmark::DoNotOptimize(sheet.keyBindingConflictText());
        benchmark::DoNotOptimize(sheet.visibleValidationText());
        samples.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        add = !add;
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_RowSheetTriggerKeyChange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Save in the edit sheet of a row among 1,000 stored ones, up to the moment the sheet may close:
// validation, the list encoded and the suite file written, the two remembered settings stored.
// The shell's regeneration of the configuration is not part of it (no observer here).
void BM_RowSheetSave(benchmark::State& state) {
    SheetBenchmarkHome home;
    const auto rows = makeBenchmarkRows(1000);
    (void)settings::setFlatKeysAndActionRows(rows);
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        flateditor::RowComposeSheetState sheet(
            flateditor::RowSheetItem(flateditor::RowChangeKind{flateditor::RowChangeKind::edit{rows[500]}}, nullptr),
            flateditor::LeaderKeySuspension::Switches{});
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(sheet.save());
        samples.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_RowSheetSave)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin
