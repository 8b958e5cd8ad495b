#include <filesystem>

#include <benchmark/benchmark.h>

#include "BenchmarkSupport.h"
#include "model/Configuration.h"
#include "model/DecodedConfiguration.h"

namespace tavlin {
namespace {

// Bindings as a heavy user keeps them: a handful of applications, three leader keys, one to
// three trigger keys each.
std::vector<FlatKeysAndActionRow> makeRows(int count) {
    static const int keys[] = {0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6};
    const LeaderKey leaders[] = {LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)),
                                 LeaderKey::press(HotKey::combo(49, 0x1000)), LeaderKey::hold(false, 49)};
    std::vector<FlatKeysAndActionRow> rows;
    for (int i = 0; i < count; ++i) {
        const auto scope = i % 4 == 0 ? FlatKeysAndActionRow::ApplicationScope::only(
                                            {"/usr/share/applications/app" + std::to_string(i % 7) + ".desktop"})
                                      : FlatKeysAndActionRow::ApplicationScope::allBut();
        std::vector<std::int64_t> sequence{keys[i % 26]};
        if (i % 3 != 0) sequence.push_back(keys[(i / 26) % 26]);
        if (i % 5 == 0) sequence.push_back(keys[(i / 676) % 26]);
        rows.emplace_back(Uuid::random(), true, scope, sequence,
                          Action(Action::Kind::openURL{"https://example.com/" + std::to_string(i), std::nullopt}), i % 2 == 0,
                          leaders[i % 3]);
    }
    return rows;
}

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
