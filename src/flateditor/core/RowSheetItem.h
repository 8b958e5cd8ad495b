#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "actionediting/core/ActionKinds.h"
#include "flateditor/core/RowChangeKind.h"
#include "flateditor/core/RowCommit.h"
#include "model/ActionConfigurability.h"
#include "platform/base/Uuid.h"

namespace tavlin::flateditor {

// The request that presents the row sheet, with everything the sheet starts from.
struct RowSheetItem {
    using Params = ActionParams;
    // Stores a finished row, and `alsoStored` in the same write (see commitRow); its result tells
    // the sheet whether it may close.
    using NewRowHandler =
        std::function<RowCommitResult(const FlatKeysAndActionRow& row, std::map<std::string, DefaultsValue> alsoStored)>;

    Uuid id = Uuid::random();
    RowChangeKind changeKind;
    LeaderKey initialLeaderKey;
    std::optional<ActionConfigurationKind> initialConfigurationKind; // nothing: new, or a read-only action
    std::vector<ActionConfigurationKind> allKinds;
    ActionParamsByKind paramsSByKind;
    std::string actionDescription;
    bool endLeaderKeyStatusAfterActionExecution = false;
    NewRowHandler newRowHandler;

    // Builds the item for a request. `rowSaved` is the list's handler, called with each stored row.
    // Also gathers the input sources anew, for the input-method editor.
    RowSheetItem(RowChangeKind changeKind, RowSaved rowSaved);
};

// Complex Mode at opening: on for a scoped row or one opening an app with arguments, else as last saved.
bool initialComplexMode(const RowSheetItem& item);
std::vector<std::int64_t> initialKeys(const RowSheetItem& item);

} // namespace tavlin::flateditor
