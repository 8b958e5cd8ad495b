#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

#include "actionediting/ApplicationChooserDialog.h"
#include "app/AppDelegate.h"
#include "engine/ShellServices.h"
#include "flateditor/RowSections.h"
#include "flateditor/SettingsContentView.h"
#include "model/Configuration.h"
#include "model/Settings.h"
#include "platform/files/UserDefaults.h"

#include "BenchmarkSupport.h"

namespace tavlin {
namespace {

using bench::BenchmarkHome;
QApplication& application() { return bench::offscreenApplication(); }

void BM_GroupRows(benchmark::State& state) {
    const auto rows = makeBenchmarkRows(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(flateditor::groupRows(rows));
}
BENCHMARK(BM_GroupRows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// From nothing to the list with 1,000 rows drawn on screen.
void BM_ListOnScreen(benchmark::State& state) {
    application();
    BenchmarkHome home;
    settings::setFlatKeysAndActionRows(makeBenchmarkRows(1000));
    for (auto _ : state) {
        flateditor::SettingsContentView view;
        view.resize(720, 500);
        view.show();
        view.list()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ListOnScreen)->Unit(benchmark::kMillisecond);

// A toggle's write, and the list built and drawn again from the store.
void BM_RenderAfterToggle(benchmark::State& state) {
    application();
    BenchmarkHome home;
    settings::setFlatKeysAndActionRows(makeBenchmarkRows(1000));
    flateditor::SettingsContentView view;
    view.resize(720, 500);
    view.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        view.render();
        view.list()->viewport()->repaint();
    }
}
BENCHMARK(BM_RenderAfterToggle)->Unit(benchmark::kMillisecond);

// From the click on a toggle to configuration.json written and the leader keys registered.
void BM_ToggleToConfiguration(benchmark::State& state) {
    application();
    BenchmarkHome home;
    settings::setFlatKeysAndActionRows(makeBenchmarkRows(1000));
    AppDelegate::reloadConfigurationIfGeneratedFromRows();
    flateditor::SettingsContentView view;
    view.resize(720, 500);
    view.show();
    QCoreApplication::processEvents();
    QStandardItemModel* model = view.model();
    for (auto _ : state) {
        QStandardItem* item = model->item(1);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        AppDelegate::reloadConfigurationIfGeneratedFromRows();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ToggleToConfiguration)->Unit(benchmark::kMillisecond)->UseRealTime();

// What one leader-key session costs in flat mode besides the session itself: it stores the
// input window's place and width and a suggested application in the suite that holds the rows,
// and the suite's observer runs; the leader-key reload decodes the configuration as it does.
void BM_FlatSessionSettingsWrites(benchmark::State& state) {
    BenchmarkHome home;
    settings::setFlatKeysAndActionRows(makeBenchmarkRows(static_cast<int>(state.range(0))));
    ShellServices::shared().reloadLeaderKeys = [](bool) {
        loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    };
    AppDelegate::reloadConfigurationIfGeneratedFromRows();
    const auto file = *Configuration::fileURL();
    const auto inode = [&file] {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    int session = 0, replaced = 0;
    for (auto _ : state) {
        const auto before = inode();
        ++session;
        settings::appGroupStore()->set(settings::keys::inputWindowTopLeftPositionString,
                                       "{" + std::to_string(session % 50) + ", 300}");
        settings::appGroupStore()->set(settings::keys::inputWindowWidthDouble, 400.0 + session % 7);
        settings::addSuggestedDisabledApplicationPath("/usr/share/applications/app" + std::to_string(session % 9) + ".desktop");
        AppDelegate::reloadConfigurationIfGeneratedFromRows();
        if (inode() != before) ++replaced;
    }
    ShellServices::shared() = ShellServices{};
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["rows"] = static_cast<double>(state.range(0));
    state.counters["replaced/session"] = session ? static_cast<double>(replaced) / session : 0;
    state.counters["maxrssMB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_FlatSessionSettingsWrites)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<xdg::ApplicationCatalog::Entry> makeEntries(int count) {
    std::vector<xdg::ApplicationCatalog::Entry> entries;
    for (int i = 0; i < count; ++i) {
        xdg::ApplicationCatalog::Entry entry;
        entry.path = "/usr/share/applications/app" + std::to_string(i) + ".desktop";
        entry.id = "org.example.App" + std::to_string(i);
        entry.name = "Application " + std::to_string((i * 7919) % count);
        entry.icon = "application-x-executable";
        entry.executable = "/usr/bin/app" + std::to_string(i);
        entries.push_back(std::move(entry));
    }
    return entries;
}

void BM_ApplicationDialogOpens(benchmark::State& state) {
    application();
    const auto entries = makeEntries(1000);
    for (auto _ : state) {
        ApplicationChooserDialog dialog(entries, nullptr);
        dialog.show();
        QCoreApplication::processEvents();
        dialog.hide();
    }
}
BENCHMARK(BM_ApplicationDialogOpens)->Unit(benchmark::kMillisecond);

void BM_ApplicationDialogFilterKeystroke(benchmark::State& state) {
    application();
    ApplicationChooserDialog dialog(makeEntries(1000), nullptr);
    dialog.show();
    QCoreApplication::processEvents();
    bool longer = false;
    for (auto _ : state) {
        dialog.filterField()->setText(longer ? QStringLiteral("app12") : QStringLiteral("app1"));
        longer = !longer;
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ApplicationDialogFilterKeystroke)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin
