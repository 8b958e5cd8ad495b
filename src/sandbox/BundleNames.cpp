#include "sandbox/BundleNames.h"

#include <mutex>

namespace tavlin::sandbox {
namespace {

std::mutex& namesMutex() {
    static std::mutex m;
    return m;
}

BundleNames& currentNames() {
    static BundleNames names{std::nullopt, "tavlin"};
    return names;
}

} // namespace

BundleNames mainBundleNames() {
    std::lock_guard lock(namesMutex());
    return currentNames();
}

void setMainBundleNames(BundleNames names) {
    std::lock_guard lock(namesMutex());
    currentNames() = std::move(names);
}

std::string appDisplayName() {
    auto names = mainBundleNames();
    return names.displayName.value_or(names.name.value_or("Current App"));
}

} // namespace tavlin::sandbox
