#pragma once

#include <optional>
#include <string>
#include <vector>

// The edits of the disabled-applications sheet, apart from its widgets: the list of paths, its
// selection, and what "Done" stores.
namespace tavlin::flateditor {

struct DisabledApplicationsList {
    std::vector<std::string> applicationPaths;
    std::optional<std::string> selectedPath;

    // Starts with the first path selected.
    explicit DisabledApplicationsList(std::vector<std::string> paths);

    // A chosen application: selected, and appended unless the list has it already.
    void addChosen(const std::string& path);
    // A suggestion is appended as it is, even when the list has it; the selection stays.
    void addSuggestion(const std::string& path);
    // Removes the selected row; the row that takes its place is selected, else the last one.
    void removeSelected();
    // The folder the chooser opens in: the selected application's, as a file URL.
    std::optional<std::string> chooserDirectory() const;
    // What "Done" stores: each path once, in list order.
    std::vector<std::string> pathsToStore() const;
};

} // namespace tavlin::flateditor
