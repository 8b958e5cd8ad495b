// The windows' first paint as a user meets it: from the process's start until its configuration
// window is on screen with its rows drawn, for the flat list with 1,000 rows (or as many as the
// second argument says) and the tree with 10,000 chances, each against its floor: a bare Qt program of this same file showing the
// same number of rows in a plain tree view (run as `--bare-list N` and `--bare-tree N`).
//
// It opens windows on $DISPLAY, so run it on a private X server:
//
//   Xvfb :58 -noreset -nolisten tcp & xvfb=$!
//   DISPLAY=:58 build/bench/tavlin_first_paint [runs] [flat rows]   # default 10 1000
//   kill $xvfb
//
// TAVLIN_BENCH_EXECUTABLE names another build's `tavlin` to measure instead. Build with
// CMAKE_BUILD_TYPE=Release or RelWithDebInfo to measure.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include <QtGui/QStandardItemModel>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeView>

#include "ChancesConfiguration.h"
#include "RealApplication.h"
#include "e2e/AppDriver.h"
#include "e2e/XDriver.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"

namespace {

using namespace std::chrono_literals;
using namespace tavlin;
using namespace tavlin::e2e;

constexpr int treeChances = 10000;

// The floor: the same number of rows in a plain view, the tree's under one expanded node.
int runBareWindow(bool tree, int rows) {
    int argc = 1;
    char name[] = "bare";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QStandardItemModel model;
    model.setHorizontalHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Action"), QStringLiteral("Description")});
    QStandardItem* parent = model.invisibleRootItem();
    if (tree) {
        auto* root = new QStandardItem(QStringLiteral("Decision"));
        parent->appendRow(root);
        parent = root;
    }
    for (int i = 0; i < rows; ++i) {
        parent->appendRow({new QStandardItem(QStringLiteral("⌘ A B")),
                           new QStandardItem(QStringLiteral("Open https://example.com/%1").arg(i)),
                           new QStandardItem(QStringLiteral("Row %1").arg(i))});
    }
    QTreeView view;
    view.setWindowTitle(QStringLiteral("Configuration"));
    view.setUniformRowHeights(true);
    view.setModel(&model);
    if (tree) view.expandAll();
    view.resize(720, 500);
    view.show();
    return application.exec();
}

std::vector<FlatKeysAndActionRow> rowsOf(int count) {
    static const int keys[] = {0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6};
    std::vector<FlatKeysAndActionRow> rows;
    for (int i = 0; i < count; ++i) {
        std::vector<std::int64_t> sequence{keys[i % 26]};
        if (i % 3 != 0) sequence.push_back(keys[(i / 26) % 26]);
        rows.emplace_back(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), sequence,
                          Action(Action::Kind::openURL{"https://example.com/" + std::to_string(i), std::nullopt}), false,
                          LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
    }
    return rows;
}

// From the process's start until its window shows many colours (drawn text): the whole window
// is flushed to the screen at once, its first rows with it.
std::optional<double> firstPaint(UserSeat& seat, const std::string& executable, std::vector<std::string> arguments,
                                 const AppHome& home, const PrivateBus& bus) {
    AppProcess process(executable, std::move(arguments), home, bus.address());
    std::optional<Clock::time_point> painted;
    seat.waitUntil(
        [&] {
            const auto window = seat.shownWindowGeometry(process.pid(), "Configuration");
            if (window && seat.distinctColors(*window) >= 8) painted = Clock::now();
            return painted.has_value() || !process.running();
        },
        30s);
    if (!painted) {
        std::fprintf(stderr, "no window painted\n%s\n", process.outputTail().c_str());
        return std::nullopt;
    }
    const double elapsed = std::chrono::duration<double, std::milli>(*painted - process.startTime()).count();
    process.stop();
    return elapsed;
}

void print(const char* what, std::vector<double> samples) {
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s median %7.1f ms   min %7.1f   max %7.1f\n", what, samples[samples.size() / 2], samples.front(),
                samples.back());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && (std::strcmp(argv[1], "--bare-list") == 0 || std::strcmp(argv[1], "--bare-tree") == 0))
        return runBareWindow(std::strcmp(argv[1], "--bare-tree") == 0, std::atoi(argv[2]));
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const int flatRows = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (runs <= 0 || flatRows <= 0) {
        std::fprintf(stderr, "usage: %s [runs] [flat rows]\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "tavlin_first_paint: DISPLAY is not set (run it on a private Xvfb)\n");
        return 2;
    }
    const std::string executable = tavlin::bench::measuredExecutable();
    const std::string bare = tavlin::bench::thisExecutable();
    if (bare.empty()) return 1;
    auto seat = UserSeat::open();
    if (!seat) {
        std::fprintf(stderr, "tavlin_first_paint: cannot open %s with XTest\n", std::getenv("DISPLAY"));
        return 1;
    }
    PrivateBus bus;
    AppHome flatHome, treeHome, bareHome;
    flatHome.withStores([&] { settings::setFlatKeysAndActionRows(rowsOf(flatRows)); });
    treeHome.writeConfiguration(bench::configurationWithChances(treeChances));
    // The first start generates the configuration from the rows; the runs measure later starts.
    if (!firstPaint(*seat, executable, {}, flatHome, bus)) return 1;

    std::vector<double> flat, flatFloor, tree, treeFloor;
    for (int i = 0; i < runs; ++i) {
        const auto a = firstPaint(*seat, executable, {}, flatHome, bus);
        const auto b = firstPaint(*seat, bare, {"--bare-list", std::to_string(flatRows)}, bareHome, bus);
        const auto c = firstPaint(*seat, executable, {}, treeHome, bus);
        const auto d = firstPaint(*seat, bare, {"--bare-tree", std::to_string(treeChances)}, bareHome, bus);
        if (!a || !b || !c || !d) return 1;
        flat.push_back(*a);
        flatFloor.push_back(*b);
        tree.push_back(*c);
        treeFloor.push_back(*d);
    }
    std::printf("tavlin_first_paint: %s, %d runs, process start -> window painted\n", executable.c_str(), runs);
    const std::string rows = std::to_string(flatRows) + " rows";
    print(("flat list, " + rows).c_str(), flat);
    print(("  bare Qt list, " + rows).c_str(), flatFloor);
    print("tree window, 10,000 chances", tree);
    print("  bare Qt tree, 10,000 rows", treeFloor);
    return 0;
}
