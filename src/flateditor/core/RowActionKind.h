#pragma once

#include <variant>

#include "flateditor/core/RowSheetItem.h"
#include "flateditor/core/RowValidation.h"
#include "model/Action.h"

namespace tavlin::flateditor {

// The action kind a save builds from the parameters of `kind`, or the error that stops it. Only
// `kind`'s own entry is read; a missing entry or one of another case is `unknown` (with one empty
// line printed), or `invalidMenuTitle` for a menu command.
std::variant<Action::Kind, ValidationError> makeActionKind(ActionConfigurationKind kind, const RowParamsByKind& params);

} // namespace tavlin::flateditor
