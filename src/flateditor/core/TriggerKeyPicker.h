#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlin::flateditor {

// One entry of the trigger-key picker: the first appends nothing, every other one its key.
struct TriggerKeyPickerItem {
    std::optional<std::int64_t> keyCode;
    std::string title;
};

// "Click To Add A Key" while there are no keys, "Add More Keys" after.
std::string firstPickerItemTitle(bool keysEmpty);
// The first entry, then every key of the standard layout's main keys in key order (no Space, no
// Escape), titled with its name.
std::vector<TriggerKeyPickerItem> triggerKeyPickerItems(bool keysEmpty);

// "Action trigger keys:\n(one or more keys to press after <leader>)", where <leader> is "the
// leader key" or the leader key's long name in double quotes.
std::string triggerKeysTitle(const std::optional<std::string>& leaderKeyName);

} // namespace tavlin::flateditor
