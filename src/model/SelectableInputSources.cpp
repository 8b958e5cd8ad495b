#include "model/SelectableInputSources.h"

#include <mutex>

namespace tavlin {
namespace {

std::mutex& sourcesMutex() {
    static std::mutex m;
    return m;
}

std::vector<SelectableInputSource>& sources() {
    static std::vector<SelectableInputSource> list;
    return list;
}

} // namespace

std::vector<SelectableInputSource> selectableInputSources() {
    std::lock_guard lock(sourcesMutex());
    return sources();
}

void setSelectableInputSources(std::vector<SelectableInputSource> list) {
    std::lock_guard lock(sourcesMutex());
    sources() = std::move(list);
}

std::optional<std::string> selectableInputSourceName(const std::string& id) {
    std::lock_guard lock(sourcesMutex());
    for (const auto& source : sources()) {
        if (source.id == id) return source.name;
    }
    return std::nullopt;
}

} // namespace tavlin
