#include <benchmark/benchmark.h>

#include "engine/RunDecision.h"

namespace tavlin {
namespace {

// 1,000 chances of mixed kinds, in sorted order (keys, then messages, then one catch-all), as a
// generated configuration holds them.
std::vector<ChancePtr> mixedChances() {
    std::vector<ChancePtr> chances;
    for (int i = 0; i < 500; ++i) {
        chances.push_back(Chance::make(Pattern(Pattern::Kind::key{{i % 100, (i + 1) % 100}}), Decision::make()));
    }
    for (int i = 0; i < 499; ++i) {
        chances.push_back(Chance::make(
            Pattern(Pattern::Kind::message{"/usr/share/applications/app" + std::to_string(i) + "\\.desktop"}), Decision::make()));
    }
    chances.push_back(Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make()));
    return chances;
}

void BM_MatchMessageAgainstMixedChances(benchmark::State& state) {
    const auto chances = mixedChances();
    const ActionOutcome outcome(ActionOutcome::message{"/usr/share/applications/app498.desktop"});
    for (auto _ : state) benchmark::DoNotOptimize(firstMatchingChance(chances, outcome));
}
BENCHMARK(BM_MatchMessageAgainstMixedChances)->Unit(benchmark::kMicrosecond);

void BM_MatchUnknownMessageFallsToCatchAll(benchmark::State& state) {
    const auto chances = mixedChances();
    const ActionOutcome outcome(ActionOutcome::message{"/opt/other/app.desktop"});
    for (auto _ : state) benchmark::DoNotOptimize(firstMatchingChance(chances, outcome));
}
BENCHMARK(BM_MatchUnknownMessageFallsToCatchAll)->Unit(benchmark::kMicrosecond);

void BM_MatchKeyAgainstMixedChances(benchmark::State& state) {
    const auto chances = mixedChances();
    const ActionOutcome outcome(ActionOutcome::key{99});
    for (auto _ : state) benchmark::DoNotOptimize(firstMatchingChance(chances, outcome));
}
BENCHMARK(BM_MatchKeyAgainstMixedChances)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tavlin
