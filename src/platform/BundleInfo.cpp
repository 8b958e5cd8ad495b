#include "platform/BundleInfo.h"

namespace tavlin {
namespace {

// Set by the build (see CMakeLists.txt).
BundleInfo builtInfo() { return {TAVLIN_BUNDLE_NAME, TAVLIN_SHORT_VERSION, TAVLIN_BUILD_NUMBER}; }

std::optional<BundleInfo>& replacedInfo() {
    static std::optional<BundleInfo> info;
    return info;
}

} // namespace

BundleInfo mainBundleInfo() { return replacedInfo() ? *replacedInfo() : builtInfo(); }

void setMainBundleInfo(std::optional<BundleInfo> info) { replacedInfo() = std::move(info); }

std::optional<std::string> appDisplayName() { return mainBundleInfo().name; }

} // namespace tavlin
