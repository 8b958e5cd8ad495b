#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "flateditor/core/ApplicationScopeEditor.h"
#include "flateditor/core/RowChangeKind.h"
#include "flateditor/core/RowSheetItem.h"
#include "flateditor/core/RowValidation.h"
#include "model/FlatKeysAndActionRow.h"

namespace tavlin::flateditor {

// The sheet in which a row is composed. The list asks for it with a change kind; the sheet
// itself is installed as a presenter, and until one is, a request only prints an empty line.
struct RowComposeSheet {
    using ChangeKind = RowChangeKind;
    using SheetItem = RowSheetItem;
    using Field = RowSheetField;
    using ValidationError = flateditor::ValidationError;
    using ApplicationScopeKind = flateditor::ApplicationScopeKind;
    using ApplicationRow = flateditor::ApplicationRow;
    using SettingError = LeaderKeySettingError;

    // Called once the sheet has stored a row, with that row (nothing after a failed save).
    using RowSaved = flateditor::RowSaved;
    using Presenter = std::function<void(const ChangeKind& changeKind, RowSaved rowSaved)>;

    // Installs the sheet; an empty presenter restores the default. Answers the previous one.
    static Presenter setPresenter(Presenter presenter);
    static void present(const ChangeKind& changeKind, RowSaved rowSaved);
};

} // namespace tavlin::flateditor
