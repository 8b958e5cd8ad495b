#pragma once

#include <functional>
#include <string_view>

namespace tavlin {

inline constexpr std::string_view helperBundleIdentifier = "local.tavlin-helper";

// Whether the helper application runs now. Asked afresh at every use; the desktop layer installs
// the real probe (the helper's name on the session bus), tests install their own.
bool isHelperRunning();
void setHelperRunningProbe(std::function<bool()> probe);

} // namespace tavlin
