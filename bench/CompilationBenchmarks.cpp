#include <filesystem>

#include <benchmark/benchmark.h>

#include "BenchmarkSupport.h"
#include "SampleRows.h"
#include "model/Configuration.h"
#include "model/DecodedConfiguration.h"

namespace tavlin {
namespace {

std::vector<FlatKeysAndActionRow> makeRows(int count) { return bench::sampleRows(count); }

} // namespace

std::vector<FlatKeysAndActionRow> makeBenchmarkRows(int count) { return makeRows(count); }

namespace {

// The generated file is written where the application keeps it, in a home of our own.
using bench::BenchmarkHome;

void BM_CompileAndWriteRows(benchmark::State& state) {
    BenchmarkHome home;
    const auto rows = makeRows(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto configuration = Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(rows);
        configuration->write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_CompileAndWriteRows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading and decoding the file, as after each change of it (the decoded copy is dropped).
void BM_LoadGeneratedFile(benchmark::State& state) {
    BenchmarkHome home;
    const auto configuration = Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(
        makeRows(static_cast<int>(state.range(0))));
    configuration->write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    for (auto _ : state) {
        decodedConfiguration::forget();
        benchmark::DoNotOptimize(loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath()));
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(*Configuration::fileURL())) / 1e6;
}
BENCHMARK(BM_LoadGeneratedFile)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin
