#include "platform/linux/WindowSystemApplications.h"

#include <algorithm>

#include "platform/linux/Processes.h"

namespace tavlin::xdg {
namespace {

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

const DesktopEntry* entryForProcess(std::string_view wmClass, const std::optional<std::filesystem::path>& executable,
                                    const DesktopEntryCatalog& catalog) {
    const auto& entries = catalog.entries();
    if (!wmClass.empty()) {
        for (const auto& entry : entries) {
            if (entry.startupWMClass == wmClass) return &entry;
        }
        for (const auto& entry : entries) {
            if (equalIgnoringAsciiCase(entry.id, wmClass)) return &entry;
        }
    }
    if (!executable) return nullptr;
    const DesktopEntry* found = nullptr;
    for (const auto& entry : entries) {
        if (executableOfEntry(entry) != executable) continue;
        if (found) return nullptr; // ambiguous
        found = &entry;
    }
    return found;
}

} // namespace

RunningApplication runningApplicationForProcess(std::int64_t pid, std::string_view wmClass, const DesktopEntryCatalog& catalog) {
    RunningApplication application;
    application.processIdentifier = pid;
    std::optional<std::filesystem::path> executable;
    if (pid > 0) executable = executableOfProcess(static_cast<pid_t>(pid));
    if (executable) application.executablePath = executable->string();

    if (const DesktopEntry* entry = entryForProcess(wmClass, executable, catalog)) {
        application.bundlePath = entry->path.string();
        application.bundleIdentifier = entry->id;
        application.localizedName = entry->displayName();
    } else if (executable) {
        application.bundlePath = executable->string();
        application.localizedName = executable->filename().string();
    }
    return application;
}

RunningApplication runningApplicationForProcess(std::int64_t pid, std::string_view wmClass, ApplicationCatalog& catalog) {
    RunningApplication application;
    application.processIdentifier = pid;
    std::optional<std::filesystem::path> executable;
    if (pid > 0) executable = executableOfProcess(static_cast<pid_t>(pid));
    if (executable) application.executablePath = executable->string();

    if (const auto* entry = catalog.entryForWindow(wmClass, executable)) {
        application.bundlePath = entry->path.string();
        application.bundleIdentifier = entry->id;
        application.localizedName = entry->name.empty() ? entry->id : entry->name;
    } else if (executable) {
        application.bundlePath = executable->string();
        application.localizedName = executable->filename().string();
    }
    return application;
}

} // namespace tavlin::xdg
