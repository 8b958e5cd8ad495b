#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "model/FlatKeysAndActionRow.h"
#include "platform/files/UserDefaults.h"

namespace tavlin::flateditor {

// The stored rows, decoded once and kept until the settings suite changes, so that a view
// redrawn at every key does not decode the whole list each time.
class StoredFlatRows {
public:
    StoredFlatRows();
    ~StoredFlatRows();
    StoredFlatRows(const StoredFlatRows&) = delete;
    StoredFlatRows& operator=(const StoredFlatRows&) = delete;

    // Nothing when none are stored or the stored text does not read as rows.
    const std::optional<std::vector<FlatKeysAndActionRow>>& rows();

private:
    void observe(const std::shared_ptr<UserDefaults>& store);
    void stopObserving();

    std::weak_ptr<UserDefaults> store_;
    UserDefaults::ObserverToken token_ = 0;
    std::optional<std::optional<std::vector<FlatKeysAndActionRow>>> cached_;
};

} // namespace tavlin::flateditor
