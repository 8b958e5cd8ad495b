// The row compose sheet with 1,000 stored rows: an edit sheet on screen, Save to the sheet
// closed, and Save to configuration.json written and the leader keys registered. Offscreen.

#include <cstdlib>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPointer>

#include "app/AppDelegate.h"
#include "engine/LeaderKeys.h"
#include "engine/ShellServices.h"
#include "flateditor/RowComposeSheetDialog.h"
#include "model/Settings.h"
#include "platform/files/UserDefaults.h"

#include "BenchmarkSupport.h"

namespace tavlin {
namespace {

using flateditor::RowComposeSheet;
using flateditor::RowComposeSheetDialog;

// A home holding 1,000 rows and the configuration generated from them.
class SheetBenchmarkHome : public bench::BenchmarkHome {
public:
    SheetBenchmarkHome() {
        bench::offscreenApplication();
        settings::setFlatKeysAndActionRows(makeBenchmarkRows(1000));
        AppDelegate::reloadConfigurationIfGeneratedFromRows();
    }
    ~SheetBenchmarkHome() { ShellServices::shared() = ShellServices{}; }

    // An edit sheet for the row in the middle of the stored list, with keys no other row has, so
    // that it saves.
    static RowComposeSheetDialog* editSheet() {
        auto row = (*settings::flatKeysAndActionRows())[500];
        row.keys = {997, 998, 999};
        RowComposeSheet::ChangeKind change{RowComposeSheet::ChangeKind::edit{row}};
        auto* sheet = new RowComposeSheetDialog(RowComposeSheet::SheetItem(change, {}), nullptr);
        sheet->show();
        sheet->repaint();
        QCoreApplication::processEvents();
        return sheet;
    }
};

void BM_EditSheetOnScreen(benchmark::State& state) {
    SheetBenchmarkHome home;
    for (auto _ : state) {
        RowComposeSheetDialog* sheet = SheetBenchmarkHome::editSheet();
        state.PauseTiming();
        delete sheet;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EditSheetOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime();

// Times Save of an unchanged edit sheet, then `afterSave`, until the sheet has gone.
void timeSaves(benchmark::State& state, const std::function<void()>& afterSave) {
    for (auto _ : state) {
        state.PauseTiming();
        QPointer<RowComposeSheetDialog> sheet = SheetBenchmarkHome::editSheet();
        state.ResumeTiming();
        sheet->save();
        QCoreApplication::processEvents();
        if (afterSave) afterSave();
        state.PauseTiming();
        if (sheet && sheet->isVisible()) {
            state.SkipWithError("the sheet stayed open");
            break;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

// Save until the sheet has gone from the screen.
void BM_SaveToSheetClosed(benchmark::State& state) {
    SheetBenchmarkHome home;
    timeSaves(state, nullptr);
}
BENCHMARK(BM_SaveToSheetClosed)->Unit(benchmark::kMillisecond)->UseRealTime();

// Save through the shell's observer: the configuration generated, written and loaded again by
// the leader keys' reload (no hot keys are grabbed offscreen).
void BM_SaveToConfigurationAndLeaderKeys(benchmark::State& state) {
    SheetBenchmarkHome home;
    ShellServices::shared().reloadLeaderKeys = [](bool skipHotKeys) { reloadLeaderKeys(skipHotKeys); };
    timeSaves(state, [] { AppDelegate::reloadConfigurationIfGeneratedFromRows(); });
}
BENCHMARK(BM_SaveToConfigurationAndLeaderKeys)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace
} // namespace tavlin
