#include "engine/ShellServices.h"

namespace tavlin {

ShellServices& ShellServices::shared() {
    static ShellServices services;
    return services;
}

void FrontmostApplications::applicationDidActivate(const RunningApplication& application, bool isThisProgram) {
    // The same one again (back in front after no application was) is no change.
    if (isThisProgram || current == application) return;
    previous = std::move(current);
    current = application;
}

FrontmostApplications& FrontmostApplications::shared() {
    static FrontmostApplications applications;
    return applications;
}

} // namespace tavlin
