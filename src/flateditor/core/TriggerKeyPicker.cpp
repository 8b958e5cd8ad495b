#include "flateditor/core/TriggerKeyPicker.h"

#include "model/KeyNames.h"

namespace tavlin::flateditor {

std::string firstPickerItemTitle(bool keysEmpty) { return keysEmpty ? "Click To Add A Key" : "Add More Keys"; }

std::vector<TriggerKeyPickerItem> triggerKeyPickerItems(bool keysEmpty) {
    const auto& codes = sortedAvailableKeyCodes();
    std::vector<TriggerKeyPickerItem> items;
    items.reserve(codes.size() + 1);
    items.push_back({std::nullopt, firstPickerItemTitle(keysEmpty)});
    for (const int code : codes) items.push_back({code, shownKeyName(code)});
    return items;
}

std::string triggerKeysTitle(const std::optional<std::string>& leaderKeyName) {
    const std::string leader = leaderKeyName ? "\"" + *leaderKeyName + "\"" : "the leader key";
    return "Action trigger keys:\n(one or more keys to press after " + leader + ")";
}

} // namespace tavlin::flateditor
