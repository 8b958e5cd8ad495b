#pragma once

#include <optional>
#include <string>

namespace tavlin {

// What the application says about itself: its name, its version for people and its build
// number. Fixed at build time; tests replace it.
struct BundleInfo {
    std::optional<std::string> name;
    std::optional<std::string> shortVersion;
    std::optional<std::string> buildVersion;
};

// The application's own information, unless a test replaced it.
BundleInfo mainBundleInfo();
// Replaces the information; nothing puts back the build's own.
void setMainBundleInfo(std::optional<BundleInfo> info);

// The application's name as menus and windows show it; nothing when it has none.
std::optional<std::string> appDisplayName();

// The build identifier the linker gave the code that runs this (its GNU build ID, in hex): two
// builds that differ in any way have different ones. Nothing when it was linked without one.
const std::optional<std::string>& codeBuildIdentity();

} // namespace tavlin
