#include "flateditor/core/StoredFlatRows.h"

#include "model/Settings.h"

namespace tavlin::flateditor {

// Observing from the start puts this observer before those of the views that read the rows
// when the suite changes, so they never read a dropped copy.
StoredFlatRows::StoredFlatRows() { observe(settings::appGroupStore()); }

StoredFlatRows::~StoredFlatRows() { stopObserving(); }

void StoredFlatRows::observe(const std::shared_ptr<UserDefaults>& store) {
    stopObserving();
    store_ = store;
    token_ = store->addObserver([this] { cached_.reset(); });
}

void StoredFlatRows::stopObserving() {
    if (const auto store = store_.lock()) store->removeObserver(token_);
    store_.reset();
}

const std::optional<std::vector<FlatKeysAndActionRow>>& StoredFlatRows::rows() {
    // The suite object is made anew when tests point the settings elsewhere: follow it.
    const auto store = settings::appGroupStore();
    if (store_.lock() != store) {
        observe(store);
        cached_.reset();
    }
    if (!cached_) {
        // Read first: giving identifiers to rows stored without them writes the list back, and
        // that change must not drop what is read here.
        auto rows = settings::flatKeysAndActionRows();
        cached_.emplace(std::move(rows));
    }
    return *cached_;
}

} // namespace tavlin::flateditor
