#pragma once

#include <optional>
#include <string>

namespace tavlin::sandbox {

// The application's names as the panels show them: a display name, if any, else a short name.
struct BundleNames {
    std::optional<std::string> displayName;
    std::optional<std::string> name;
};

BundleNames mainBundleNames();
// Replaces the names (the application sets them once; tests try the fallbacks).
void setMainBundleNames(BundleNames names);

// The display name, else the short name, else "Current App".
std::string appDisplayName();

} // namespace tavlin::sandbox
