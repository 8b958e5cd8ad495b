#pragma once

#include <cmath>
#include <optional>
#include <utility>
#include <variant>

#include "configwindow/core/ActionSheetItem.h"

namespace tavlin {

// Writes one field of one kind's values into the sheet's live values: the entry as it is now, with
// only this field replaced. Editors never hold a copy of the entry, so two fields of one kind
// edited one after the other both survive.
template <class Params, class Field, class Value>
void setParamField(ActionParamsByKind& params, ActionConfigurationKind kind, Field Params::*field, Value&& value) {
    Params entry;
    if (const auto found = params.find(kind); found != params.end()) {
        if (const auto* current = std::get_if<Params>(&found->second)) entry = *current;
    }
    entry.*field = std::forward<Value>(value);
    params.insert_or_assign(kind, ActionParams(std::move(entry)));
}

// The field as it is now; the default value while the entry is missing or of another kind.
template <class Params, class Field>
Field paramField(const ActionParamsByKind& params, ActionConfigurationKind kind, Field Params::*field) {
    if (const auto found = params.find(kind); found != params.end()) {
        if (const auto* current = std::get_if<Params>(&found->second)) return current->*field;
    }
    return Params{}.*field;
}

// A delay is kept only when it is a finite number: an infinite or undefined one could never be
// written to the file, so every later save of the tree would fail.
inline std::optional<double> acceptedDelay(std::optional<double> parsed) {
    if (!parsed || !std::isfinite(*parsed)) return std::nullopt;
    return parsed;
}

// The application path of the kinds that have one (open URL, file, folder); nothing otherwise.
std::optional<std::string> applicationPathOf(const ActionParamsByKind& params, ActionConfigurationKind kind);
// Writes it; does nothing for a kind without one.
void setApplicationPath(ActionParamsByKind& params, ActionConfigurationKind kind, std::string path);

} // namespace tavlin
