#pragma once

#include "configwindow/core/ConfigurationWindowModel.h"
#include "configwindow/core/DropTargeting.h"

namespace tavlin {

// What the tree editor does with an item a drop delivered: one main-queue turn later, the move
// or copy runs inside the window model's change wrapper, saved once. An item dropped on its own
// row without copying stays where it is.
namespace DropHandler {

// Over the action at `index` of `container`'s actions; prints "action dragged: " and the action.
void actionDropped(ConfigurationWindowModel& model, Action dropped, DecisionPtr container, int index,
                   DropTargeting::InsertPosition position, bool copy);
// Over the chance at `index` of `container`'s chances.
void chanceDropped(ConfigurationWindowModel& model, ChancePtr dropped, DecisionPtr container, int index,
                   DropTargeting::InsertPosition position, bool copy);

} // namespace DropHandler
} // namespace tavlin
