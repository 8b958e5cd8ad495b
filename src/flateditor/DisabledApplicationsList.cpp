#include "flateditor/DisabledApplicationsList.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "platform/files/FileUrl.h"

namespace tavlin::flateditor {

DisabledApplicationsList::DisabledApplicationsList(std::vector<std::string> paths) : applicationPaths(std::move(paths)) {
    if (!applicationPaths.empty()) selectedPath = applicationPaths.front();
}

void DisabledApplicationsList::addChosen(const std::string& path) {
    if (std::find(applicationPaths.begin(), applicationPaths.end(), path) == applicationPaths.end())
        applicationPaths.push_back(path);
    selectedPath = path;
}

void DisabledApplicationsList::addSuggestion(const std::string& path) { applicationPaths.push_back(path); }

void DisabledApplicationsList::removeSelected() {
    if (!selectedPath) return;
    const auto found = std::find(applicationPaths.begin(), applicationPaths.end(), *selectedPath);
    if (found == applicationPaths.end()) return;
    const auto index = static_cast<std::size_t>(found - applicationPaths.begin());
    applicationPaths.erase(found);
    if (index < applicationPaths.size()) selectedPath = applicationPaths[index];
    else if (!applicationPaths.empty()) selectedPath = applicationPaths.back();
    else selectedPath.reset();
}

std::optional<std::string> DisabledApplicationsList::chooserDirectory() const {
    if (!selectedPath || selectedPath->empty()) return std::nullopt;
    const auto folder = std::filesystem::path(*selectedPath).parent_path();
    if (folder.empty()) return std::nullopt;
    return FileUrl(folder.string(), true).absoluteString();
}

std::vector<std::string> DisabledApplicationsList::pathsToStore() const {
    std::vector<std::string> paths;
    std::unordered_set<std::string> seen;
    for (const auto& path : applicationPaths)
        if (seen.insert(path).second) paths.push_back(path);
    return paths;
}

} // namespace tavlin::flateditor
