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

} // namespace
} // namespace tavlin::bench
