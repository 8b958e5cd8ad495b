#pragma once

// What the benchmarks of tavlin_benchmarks share: a home of their own and one offscreen
// application.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include <QApplication>

#include "model/FlatKeysAndActionRow.h"
#include "platform/UserDefaults.h"

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

} // namespace bench
} // namespace tavlin
