#include "flateditor/core/ApplicationScopeEditor.h"

#include <algorithm>

#include "platform/files/FileUrl.h"

namespace tavlin::flateditor {

using Scope = FlatKeysAndActionRow::ApplicationScope;

std::string_view title(ApplicationScopeKind kind) {
    switch (kind) {
    case ApplicationScopeKind::all: return "All Applications";
    case ApplicationScopeKind::allBut: return "All Applications Except:";
    case ApplicationScopeKind::only: return "Only The Applications:";
    }
    return "";
}

Scope applicationScope(ApplicationScopeKind kind, const std::vector<std::string>& paths) {
    switch (kind) {
    case ApplicationScopeKind::all: return Scope::allBut();
    case ApplicationScopeKind::allBut: return Scope::allBut({paths.begin(), paths.end()});
    case ApplicationScopeKind::only: return Scope::only({paths.begin(), paths.end()});
    }
    return Scope::allBut();
}

ApplicationScopeEditor::ApplicationScopeEditor(const Scope& scope) {
    if (scope.scopeCase == Scope::Case::allBut && scope.paths.empty()) return;
    kind_ = scope.scopeCase == Scope::Case::allBut ? ApplicationScopeKind::allBut : ApplicationScopeKind::only;
    // The set keeps its texts in byte order, which for UTF-8 is code-point order.
    for (const auto& path : scope.paths) rows_.push_back({path});
}

std::vector<std::string> ApplicationScopeEditor::paths() const {
    std::vector<std::string> paths;
    paths.reserve(rows_.size());
    for (const auto& row : rows_) paths.push_back(row.path);
    return paths;
}

std::optional<std::string> ApplicationScopeEditor::chooserFolder() const {
    if (!selectedPath_) return std::nullopt;
    return FileUrl(*selectedPath_, false).deletingLastPathComponent().absoluteString();
}

void ApplicationScopeEditor::addApplication(const std::string& path) {
    const bool listed = std::any_of(rows_.begin(), rows_.end(), [&](const ApplicationRow& row) { return row.path == path; });
    if (!listed) rows_.push_back({path});
    selectedPath_ = path;
}

void ApplicationScopeEditor::removeSelectedApplication() {
    if (!selectedPath_) return;
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [&](const ApplicationRow& row) { return row.path == *selectedPath_; });
    if (found == rows_.end()) return;
    const auto index = static_cast<std::size_t>(found - rows_.begin());
    rows_.erase(found);
    if (rows_.empty()) selectedPath_.reset();
    else selectedPath_ = rows_[std::min(index, rows_.size() - 1)].path;
}

} // namespace tavlin::flateditor
