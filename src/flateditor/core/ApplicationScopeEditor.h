#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/FlatKeysAndActionRow.h"

namespace tavlin::flateditor {

// The scope kinds the row sheet offers, in order.
enum class ApplicationScopeKind { all, allBut, only };
inline constexpr ApplicationScopeKind allApplicationScopeKinds[] = {ApplicationScopeKind::all, ApplicationScopeKind::allBut,
                                                                    ApplicationScopeKind::only};
// "All Applications", "All Applications Except:", "Only The Applications:".
std::string_view title(ApplicationScopeKind kind);

// One application of a scope, identified by its path (the dialog looks up icon and name).
struct ApplicationRow {
    std::string path;
    friend bool operator==(const ApplicationRow&, const ApplicationRow&) = default;
};

// The scope a row gets from the editor: `all` ignores the rows.
FlatKeysAndActionRow::ApplicationScope applicationScope(ApplicationScopeKind kind, const std::vector<std::string>& paths);

// The scope editor of the row sheet: the kind, the applications and the selected one. The rows
// outlive a switch to `all`, so switching back shows them again.
class ApplicationScopeEditor {
public:
    ApplicationScopeEditor() = default;
    // The editor for a stored scope; its paths in code-point order.
    explicit ApplicationScopeEditor(const FlatKeysAndActionRow::ApplicationScope& scope);

    ApplicationScopeKind kind() const { return kind_; }
    void setKind(ApplicationScopeKind kind) { kind_ = kind; }
    const std::vector<ApplicationRow>& rows() const { return rows_; }
    std::vector<std::string> paths() const;
    const std::optional<std::string>& selectedPath() const { return selectedPath_; }
    void select(std::optional<std::string> path) { selectedPath_ = std::move(path); }

    // Where the application chooser opens: the folder of the selected application, if any.
    std::optional<std::string> chooserFolder() const;
    // After the chooser: a path already listed is only selected; a new one is appended and selected.
    void addApplication(const std::string& path);
    // Removes the selected row; its successor (or the new last row) is selected.
    void removeSelectedApplication();
    bool canRemove() const { return selectedPath_.has_value(); }

    FlatKeysAndActionRow::ApplicationScope scope() const { return applicationScope(kind_, paths()); }

private:
    ApplicationScopeKind kind_ = ApplicationScopeKind::all;
    std::vector<ApplicationRow> rows_;
    std::optional<std::string> selectedPath_;
};

} // namespace tavlin::flateditor
