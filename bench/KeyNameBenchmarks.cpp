#include <benchmark/benchmark.h>

#include "model/KeyNames.h"

namespace tavlin::bench {
namespace {

// Names of all 100 available keys, as a key list in the editor shows them.
void BM_KeyName(benchmark::State& state) {
    const auto& codes = availableMainKeyCodesForStandardLayout();
    benchmark::DoNotOptimize(keyName(codes.front())); // builds the shared table outside the loop
    for (auto _ : state) {
        for (const int code : codes) benchmark::DoNotOptimize(keyName(code));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * codes.size()));
}
BENCHMARK(BM_KeyName);

void BM_KeyNameIfKnown(benchmark::State& state) {
    const auto& codes = availableMainKeyCodesForStandardLayout();
    benchmark::DoNotOptimize(keyNameIfKnown(codes.front()));
    for (auto _ : state) {
        for (const int code : codes) benchmark::DoNotOptimize(keyNameIfKnown(code));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * codes.size()));
}
BENCHMARK(BM_KeyNameIfKnown);

// Codes without a name: the fallback texts ("Space", "Unknow(<code>)").
void BM_KeyNameUnknown(benchmark::State& state) {
    const int codes[] = {49, 52, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 66, 67, 68, 70, 77, 93, 94, 95};
    for (auto _ : state) {
        for (const int code : codes) benchmark::DoNotOptimize(keyName(code));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(codes)));
}
BENCHMARK(BM_KeyNameUnknown);

} // namespace
} // namespace tavlin::bench
