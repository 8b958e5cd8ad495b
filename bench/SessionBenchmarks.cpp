// A session's start in the engine: the leader key's window becomes key, the configuration is
// looked up and the root decision waits for a key (the session's end is not measured). Measured with the
// configuration decoded once (as every session after a change of the file finds it) and, for
// comparison, decoded at every start as the file was before.

#include <string>

#include <benchmark/benchmark.h>

#include "BenchmarkSupport.h"
#include "engine/InputWindowManager.h"
#include "model/Configuration.h"
#include "model/DecodedConfiguration.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/InputWindow.h"
#include "platform/desktop/NotificationCenter.h"

namespace tavlin {
namespace {

class BenchInputWindow final : public InputWindow {
public:
    void setDelegate(InputWindowDelegate* delegate) override { delegate_ = delegate; }
    bool isKeyWindow() const override { return key_; }
    void makeKeyAndOrderFront() override {
        if (key_) return;
        key_ = true;
        if (delegate_) delegate_->inputWindowDidBecomeKey();
    }
    void orderOut() override {
        if (!key_) return;
        key_ = false;
        if (delegate_) delegate_->inputWindowDidResignKey();
    }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    void setFrameTopLeftPoint(const Point& point) override {
        frame_.x = point.x;
        frame_.y = point.y - frame_.height;
    }
    void center() override {}
    std::optional<Rect> visibleScreenFrame() const override { return Rect{0, 0, 1920, 1080}; }

private:
    InputWindowDelegate* delegate_ = nullptr;
    bool key_ = false;
    Rect frame_{100, 100, 400, 300};
};

class BenchIndicator final : public IndicatorWindow {
public:
    void show(const std::string&) override {}
    void orderOut() override {}
};

// The engine's services and a configuration of `chances` leaves under the root, in folders of
// our own.
class SessionBench {
public:
    explicit SessionBench(int chances) {
        MainQueue::setShared(&queue_);
        DistributedNotificationCenter::setShared(&center_);
        auto& manager = InputWindowManager::shared();
        manager.setWindows(&window_, &indicator_);
        window_.setDelegate(&manager);
        manager.windowEventHandler = handleInputWindowEvent;

        std::vector<ChancePtr> leaves;
        for (int i = 0; i < chances; ++i) {
            leaves.push_back(Chance::make(
                Pattern(Pattern::Kind::key{{i % 50}}),
                Decision::make({Action(Action::Kind::openURL{"https://example.com/" + std::to_string(i), std::nullopt})})));
        }
        Configuration(std::nullopt, {}, Decision::make({}, std::move(leaves)))
            .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    }
    ~SessionBench() {
        InputWindowManager::shared().windowEventHandler = nullptr;
        InputWindowManager::shared().setWindows(nullptr, nullptr);
        InputWindowManager::shared().reset();
        DistributedNotificationCenter::setShared(nullptr);
        MainQueue::setShared(nullptr);
    }

    // The window becomes key and the root decision waits: what a leader key costs before the
    // first key can be typed.
    void start() { window_.makeKeyAndOrderFront(); }
    // Ends the session (the window's place is saved, which writes the settings).
    void end() {
        window_.orderOut();
        queue_.runUntilIdle();
    }

private:
    bench::BenchmarkHome home_; // first: the others may write there until they go
    VirtualMainQueue queue_;
    LoopbackDistributedNotificationCenter center_;
    BenchInputWindow window_;
    BenchIndicator indicator_;
};

void BM_SessionStartOnceDecoded(benchmark::State& state) {
    SessionBench bench(static_cast<int>(state.range(0)));
    bench.start(); // decodes the file once
    bench.end();
    for (auto _ : state) {
        bench.start();
        state.PauseTiming();
        bench.end();
        state.ResumeTiming();
    }
    state.counters["chances"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SessionStartOnceDecoded)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SessionStartDecodingTheFile(benchmark::State& state) {
    SessionBench bench(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        decodedConfiguration::forget();
        bench.start();
        state.PauseTiming();
        bench.end();
        state.ResumeTiming();
    }
    state.counters["chances"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SessionStartDecodingTheFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tavlin
