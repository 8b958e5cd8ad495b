#include "platform/linux/WindowSystemApplications.h"

#include "platform/linux/Processes.h"

namespace tavlin::xdg {

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
