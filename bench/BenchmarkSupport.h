#pragma once

// What the benchmark programs share: a home of their own, one offscreen application, and the
// main() of a program that runs them.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "model/FlatKeysAndActionRow.h"
#include "platform/desktop/Alerts.h"
#include "platform/files/UserDefaults.h"

namespace tavlin {

// The rows of CompilationBenchmarks.cpp.
std::vector<FlatKeysAndActionRow> makeBenchmarkRows(int count);

namespace bench {

// Settings and generated files in a folder of our own, so that they never reach the user's.
class BenchmarkHome {
public:
    BenchmarkHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavlin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder_ = pattern;
        ::setenv("HOME", folder_.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        UserDefaults::resetSharedSuites();
    }
    ~BenchmarkHome() {
        UserDefaults::resetSharedSuites();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    BenchmarkHome(const BenchmarkHome&) = delete;
    BenchmarkHome& operator=(const BenchmarkHome&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

// Made on first use, kept to the end of the program.
inline QApplication& offscreenApplication() {
    static QApplication* application = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "tavlin-bench";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *application;
}

// The main() of a benchmark program: the benchmarks the command line names, run in a home of
// their own on the offscreen platform, alerts printed instead of waiting for a click. `around`,
// when given, sets up what the benchmarks need once the application exists and calls `run`.
using BenchmarkRun = std::function<void()>;
inline int runBenchmarks(int argc, char** argv, const std::function<void(const BenchmarkRun& run)>& around = {}) {
    BenchmarkHome home;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setAlertPresenter([](const std::string& message, const std::string& informative) {
        std::fprintf(stderr, "%s: %s\n", message.c_str(), informative.c_str());
    });
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    const BenchmarkRun run = [] { benchmark::RunSpecifiedBenchmarks(); };
    if (around) around(run);
    else run();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
} // namespace tavlin
