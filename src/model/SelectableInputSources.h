#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// The input sources a user can switch to, as the input-source manager last gathered them.
// Descriptions of switch actions read names from here; the list is empty until first gathered.
struct SelectableInputSource {
    std::string id;
    std::string name;
};

std::vector<SelectableInputSource> selectableInputSources();
void setSelectableInputSources(std::vector<SelectableInputSource> sources);
// The name of the first source with this identifier.
std::optional<std::string> selectableInputSourceName(const std::string& id);

} // namespace tavlin
