#include <benchmark/benchmark.h>

#include <memory>

#include <QtWidgets/QComboBox>

#include "BenchmarkSupport.h"
#include "configwindow/ActionComposeSheet.h"
#include "configwindow/LeaderKeyColumn.h"
#include "engine/HotKeyManager.h"
#include "model/Configuration.h"
#include "model/KeyNames.h"
#include "model/Settings.h"
#include "platform/desktop/HelperApplication.h"

// The action sheet's fields and the leader-key column, offscreen.
namespace tavlin::bench {
namespace {

// Opening the sheet for a new action and switching the kind picker through every kind, each
// kind's fields built and painted.
void BM_ActionSheetThroughAllKinds(benchmark::State& state) {
    setHelperRunningProbe([] { return true; });
    settings::appGroupStore()->set(settings::keys::showExperimentalActions, true);
    auto decision = Decision::make();
    for (auto _ : state) {
        ActionComposeSheet sheet(ActionSheetItem::make(decision, ActionSheetItem::New{0}, [](const auto& edit) { edit(); }),
                                 nullptr);
        sheet.show();
        for (int index = 0; index < sheet.kindPicker()->count(); ++index) {
            sheet.kindPicker()->setCurrentIndex(index);
            sheet.grab();
        }
        state.counters["kinds"] = sheet.kindPicker()->count();
    }
    setHelperRunningProbe(nullptr);
}
BENCHMARK(BM_ActionSheetThroughAllKinds)->Unit(benchmark::kMillisecond)->Iterations(20);

// The column made for 100 leader keys: one row each, then painted.
void BM_LeaderKeyColumnWith100HotKeys(benchmark::State& state) {
    std::vector<HotKey> hotKeys;
    for (std::uint32_t index = 0; index < 100; ++index) hotKeys.push_back(HotKey::combo(index, carbon::command));
    ConfigurationWindowModel model(std::make_shared<Configuration>(std::nullopt, hotKeys, Decision::make()));
    HotKeyManager manager;
    for (auto _ : state) {
        LeaderKeyColumn column(model, manager);
        column.show();
        column.grab();
    }
}
BENCHMARK(BM_LeaderKeyColumnWith100HotKeys)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
} // namespace tavlin::bench

int main(int argc, char** argv) { return tavlin::bench::runBenchmarks(argc, argv); }
