#include <benchmark/benchmark.h>

#include <memory>

#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>

#include "BenchmarkSupport.h"
#include "SampleTree.h"
#include "configwindow/ConfigurationWindowContentView.h"
#include "configwindow/DecisionTreeView.h"
#include "configwindow/core/DragPayload.h"
#include "configwindow/core/DropEdits.h"
#include "model/Configuration.h"

// Dragging in the configuration window on the 10,000-chance sample tree, offscreen: a drag
// moving over a large block, the payload of a large subtree, and the edit of a drop.
namespace tavlin::bench {
namespace {

QString format(std::string_view type) { return QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())); }

struct Window {
    ConfigurationWindowModel model{std::make_shared<Configuration>(std::nullopt, std::vector<HotKey>{}, sampleTree())};
    Selection selection{model};
    ConfigurationWindowContentView view{model, selection, nullptr};

    Window() {
        view.resize(720, 500);
        view.show();
        view.grab();
    }
    DecisionTreeView& tree() { return *view.treeView(); }
};

// One move over the first top-level chance (1,000 chances in its block), between its two
// zones so the indicator moves every time: hit test and repaint.
void BM_DragMoveOverLargeBlock(benchmark::State& state) {
    Window window;
    auto& tree = window.tree();
    QMimeData data;
    data.setData(format(DragPayload::chanceType), QByteArray::fromStdString(DragPayload::writeChance(
                                                      *window.model.rootDecision()->chances[1], DragPayload::chanceType)));
    const QRect row = tree.visualRect(tree.treeModel().index(0, 0));
    const int left = row.left() - tree.indentation();
    QDragEnterEvent enter(QPoint(left + 5, row.top() + 2), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &enter);
    bool above = true;
    for (auto _ : state) {
        const QPoint point(left + 5, row.top() + (above ? 2 : row.height() - 2));
        QDragMoveEvent move(point, Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &move);
        tree.viewport()->repaint();
        above = !above;
    }
    QDragLeaveEvent leave;
    QApplication::sendEvent(tree.viewport(), &leave);
}
BENCHMARK(BM_DragMoveOverLargeBlock)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_EncodeChancePayload(benchmark::State& state) {
    const DecisionPtr root = sampleTree();
    for (auto _ : state) benchmark::DoNotOptimize(DragPayload::writeChance(*root->chances[0], DragPayload::chanceType));
    state.counters["chances"] = chanceCount(*root->chances[0]->decision) + 1;
}
BENCHMARK(BM_EncodeChancePayload)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DecodeChancePayload(benchmark::State& state) {
    const DecisionPtr root = sampleTree();
    const std::string data = DragPayload::writeChance(*root->chances[0], DragPayload::chanceType);
    for (auto _ : state) benchmark::DoNotOptimize(DragPayload::readChance(data, DragPayload::chanceType));
    state.counters["payload_KB"] = static_cast<double>(data.size()) / 1024.0;
}
BENCHMARK(BM_DecodeChancePayload)->Unit(benchmark::kMillisecond)->Iterations(20);

// A top-level chance moved to the end by a drop: the edit, its save and the view rebuilt and
// repainted.
void BM_DropMoveChance(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        const DecisionPtr root = window.model.rootDecision();
        const ChancePtr dragged = DragPayload::readChance(DragPayload::writeChance(*root->chances[0], DragPayload::chanceType),
                                                          DragPayload::chanceType);
        const int last = static_cast<int>(root->chances.size()) - 1;
        const auto edit = DropEdits::planChanceDrop(root, dragged, root, last, DropTargeting::InsertPosition::below, false);
        if (!edit) state.SkipWithError("no edit");
        window.model.applyChange(*edit);
        window.tree().viewport()->repaint();
    }
}
BENCHMARK(BM_DropMoveChance)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
} // namespace tavlin::bench

int main(int argc, char** argv) { return tavlin::bench::runBenchmarks(argc, argv); }
