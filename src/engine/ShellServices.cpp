#include "engine/ShellServices.h"

namespace tavlin {

ShellServices& ShellServices::shared() {
    static ShellServices services;
    return services;
}

void FrontmostApplications::applicationDidActivate(const RunningApplication& application, bool isThisProgram) {
    if (isThisProgram) return;
    previous = std::move(current);
    current = application;
}

FrontmostApplications& FrontmostApplications::shared() {
    static FrontmostApplications applications;
    return applications;
}

} // namespace tavlin
