// The row compose sheet with 1,000 stored rows: an edit sheet on screen, Save to the sheet
// closed, and Save to configuration.json written and the leader keys registered. Offscreen.

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPointer>

#include "app/AppDelegate.h"
#include "engine/LeaderKeys.h"
#include "engine/ShellServices.h"
#include "flateditor/RowComposeSheetDialog.h"
#include "model/Settings.h"
#include "platform/UserDefaults.h"

namespace tavlin {
// The rows of CompilationBenchmarks.cpp.
std::vector<FlatKeysAndActionRow> makeBenchmarkRows(int count);

namespace {

using flateditor::RowComposeSheet;
using flateditor::RowComposeSheetDialog;

class SheetBenchmarkHome {
public:
    SheetBenchmarkHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder_ = pattern;
        ::setenv("HOME", folder_.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        UserDefaults::resetSharedSuites();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "tavlin-bench";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QApplication(argc, argv);
        settings::setFlatKeysAndActionRows(makeBenchmarkRows(1000));
        AppDelegate::reloadConfigurationIfGeneratedFromRows();
    }
    ~SheetBenchmarkHome() {
        ShellServices::shared() = ShellServices{};
        UserDefaults::resetSharedSuites();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    // An edit sheet for the row in the middle of the stored list, with keys no other row has, so
    // that it saves.
    static RowComposeSheetDialog* editSheet() {
        auto row = (*settings::flatKeysAndActionRows())[500];
        row.keys = {997, 998, 999};
        RowComposeSheet::ChangeKind change{RowComposeSheet::ChangeKind::edit{row, 500}};
        auto* sheet = new RowComposeSheetDialog(RowComposeSheet::SheetItem(change, {}), nullptr);
        sheet->show();
        sheet->repaint();
        QCoreApplication::processEvents();
        return sheet;
    }

private:
    std::filesystem::path folder_;
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

// Save of an unchanged edit until the sheet has gone from the screen.
void BM_SaveToSheetClosed(benchmark::State& state) {
    SheetBenchmarkHome home;
    for (auto _ : state) {
        state.PauseTiming();
        QPointer<RowComposeSheetDialog> sheet = SheetBenchmarkHome::editSheet();
        state.ResumeTiming();
        sheet->save();
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (sheet && sheet->isVisible()) {
            state.SkipWithError("the sheet stayed open");
            break;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveToSheetClosed)->Unit(benchmark::kMillisecond)->UseRealTime();

// Save through the shell's observer: the configuration generated, written and loaded again by
// the leader keys' reload (no hot keys are grabbed offscreen).
void BM_SaveToConfigurationAndLeaderKeys(benchmark::State& state) {
    SheetBenchmarkHome home;
    ShellServices::shared().reloadLeaderKeys = [](bool skipHotKeys) { reloadLeaderKeys(skipHotKeys); };
    for (auto _ : state) {
        state.PauseTiming();
        QPointer<RowComposeSheetDialog> sheet = SheetBenchmarkHome::editSheet();
        state.ResumeTiming();
        sheet->save();
        QCoreApplication::processEvents();
        AppDelegate::reloadConfigurationIfGeneratedFromRows();
        state.PauseTiming();
        if (sheet && sheet->isVisible()) {
            state.SkipWithError("the sheet stayed open");
            break;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveToConfigurationAndLeaderKeys)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly();

} // namespace
} // namespace tavlin
