// Feeds arbitrary bytes to the settings suite as its file, reads what the application reads from
// it at start-up (the preferences, the stored flat rows and the configuration generated from
// them), and checks that a save keeps every value: written back and read again, the file saves
// to the same text.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "model/Configuration.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"
#include "platform/files/UserDefaults.h"

namespace {

using namespace tavlin;
namespace fs = std::filesystem;

fs::path root;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The store as a new process finds it, with a value set: the file that set writes, or nothing
// when it could not be written.
std::optional<std::string> savedAfterReading() {
    UserDefaults::resetSharedSuites();
    const auto store = settings::appGroupStore();
    if (store->set("fuzz", 1)) return std::nullopt;
    return contents(store->filePath());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when there is such a folder: every save is flushed to disk.
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string folder = (base / "tavlin-fuzz-settings.XXXXXX").string();
    if (!mkdtemp(folder.data())) std::abort();
    root = folder;
    setenv("HOME", folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    diag::setSink([](std::string_view) {});
    setAlertPresenter([](const std::string&, const std::string&) {});
    // A file that does not read is damaged at once: nothing else writes these files.
    static const UserDefaults::SettleTime settle(std::chrono::milliseconds(0));
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(root, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto folder = *UserDefaults::folderPath();
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
    {
        std::ofstream out(folder / (settings::appGroupSuiteName() + ".json"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    UserDefaults::resetSharedSuites();
    settings::showHintAfterSeconds();
    settings::hideLeaderKeyIndicator();
    settings::leaderKeyIndicatorHeightPercent();
    settings::shouldShowInputHistory();
    settings::inputWindowTopLeftPositionString();
    settings::inputWindowWidthDouble();
    settings::maximumSingleModifierPressAndReleaseInterval();
    settings::showExperimentalActions();
    settings::previousCheckedComplexMode();
    settings::previousSetLeaderKeySingleModier();
    settings::hideDockIcon();
    settings::showDecisionBorder();
    settings::disabledApplications();
    settings::suggestedDisabledApplicationPaths();
    settings::storeDefaultFlatRowsIfNeverStored();
    // Reads the rows (storing identifiers that rows lack) and writes the tree they make.
    Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();

    const auto saved = savedAfterReading();
    if (!saved) return 0;
    if (savedAfterReading() != saved) __builtin_trap(); // a save lost or changed a value
    return 0;
}
