#include "flateditor/HelperInstances.h"

#include <algorithm>

#include "platform/linux/ApplicationCatalog.h"
#include "platform/linux/WindowSystemApplications.h"

namespace tavlin::flateditor {

std::optional<RunningApplication> helperBusOwnerApplication(std::int64_t pid) {
    // The bus knows no window class: the entry is the one that runs the process's executable.
    RunningApplication application = xdg::runningApplicationForProcess(pid, "", xdg::ApplicationCatalog::shared());
    if (!application.executablePath) return std::nullopt;
    return application;
}

std::vector<HelperAppInfo> helperInstances(const std::optional<RunningApplication>& busOwner,
                                           const std::vector<RunningApplication>& windowed) {
    std::vector<HelperAppInfo> infos;
    auto add = [&infos](const RunningApplication& application) {
        if (!application.bundlePath) return;
        const bool known = std::any_of(infos.begin(), infos.end(),
                                       [&](const HelperAppInfo& info) { return info.pid == application.processIdentifier; });
        if (!known) infos.push_back({application.processIdentifier, *application.bundlePath});
    };
    if (busOwner) add(*busOwner);
    for (const auto& application : windowed) add(application);
    return infos;
}

} // namespace tavlin::flateditor
