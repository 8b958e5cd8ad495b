#include <benchmark/benchmark.h>

#include "SampleTree.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"
#include "platform/json/JsonSink.h"

namespace tavlin::bench {
namespace {

DecisionPtr decode(const std::string& text) {
    const json::Value value = json::parse(text);
    return Decision::fromJson(JsonReader(value));
}

// As the configuration file is written: straight from the model to text, with no Value between.
std::string encode(const Decision& decision) {
    return json::encodeFrom([&decision](json::Sink& sink) { decision.writeJson(sink); });
}

void reportTreeSize(benchmark::State& state, const std::string& text) {
    state.counters["chances"] = sampleTreeChances;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Reading the configuration's tree: JSON text to model.
void BM_DecisionDecode(benchmark::State& state) {
    const std::string& text = sampleTreeText();
    for (auto _ : state) benchmark::DoNotOptimize(decode(text));
    reportTreeSize(state, text);
}
BENCHMARK(BM_DecisionDecode)->Unit(benchmark::kMillisecond);

// Saving the configuration's tree: model to pretty JSON text.
void BM_DecisionEncode(benchmark::State& state) {
    const std::string& text = sampleTreeText();
    const DecisionPtr tree = decode(text);
    for (auto _ : state) benchmark::DoNotOptimize(encode(*tree));
    reportTreeSize(state, text);
}
BENCHMARK(BM_DecisionEncode)->Unit(benchmark::kMillisecond);

// The same text through a Value, as toJson() callers (notification payloads, tests) get it.
void BM_DecisionToJsonThenEncode(benchmark::State& state) {
    const std::string& text = sampleTreeText();
    const DecisionPtr tree = decode(text);
    for (auto _ : state) benchmark::DoNotOptimize(json::encode(tree->toJson()));
    reportTreeSize(state, text);
}
BENCHMARK(BM_DecisionToJsonThenEncode)->Unit(benchmark::kMillisecond);

// A load followed by a save, as when the editor opens and then writes the file back.
void BM_DecisionDecodeThenEncode(benchmark::State& state) {
    const std::string& text = sampleTreeText();
    for (auto _ : state) benchmark::DoNotOptimize(encode(*decode(text)));
    reportTreeSize(state, text);
}
BENCHMARK(BM_DecisionDecodeThenEncode)->Unit(benchmark::kMillisecond);

void BM_DecisionSortedByPattern(benchmark::State& state) {
    const DecisionPtr tree = sampleTree();
    if (chanceCount(*tree) != sampleTreeChances) state.SkipWithError("the sample tree has the wrong size");
    for (auto _ : state) benchmark::DoNotOptimize(tree->sortedByPattern());
    state.counters["chances"] = sampleTreeChances;
}
BENCHMARK(BM_DecisionSortedByPattern)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin::bench
