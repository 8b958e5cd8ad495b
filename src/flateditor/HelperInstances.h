#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Workspace.h"

namespace tavlin::flateditor {

// One running helper: its process and where its application lives (a desktop entry, or the
// executable when no entry runs it).
struct HelperAppInfo {
    std::int64_t pid = 0;
    std::string bundlePath;
    friend bool operator==(const HelperAppInfo&, const HelperAppInfo&) = default;
};

// The process that owns the helper's bus name as an application; nothing when that process
// has already gone (its /proc entry no longer names an executable).
std::optional<RunningApplication> helperBusOwnerApplication(std::int64_t pid);

// The running helpers: the bus name's owner first, then those the window system reports, in
// its order. Each process once; an instance without a path is left out.
std::vector<HelperAppInfo> helperInstances(const std::optional<RunningApplication>& busOwner,
                                           const std::vector<RunningApplication>& windowed);

} // namespace tavlin::flateditor
