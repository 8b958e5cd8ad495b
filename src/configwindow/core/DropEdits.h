#pragma once

#include <functional>
#include <optional>

#include "configwindow/core/DropTargeting.h"
#include "model/Decision.h"

namespace tavlin {

// The tree edits of a drop: a dragged action or chance moved, or copied, next to its target.
// Each is planned against the live tree first; a drop that cannot be made, or would change
// nothing, gives no edit, so it is neither run nor saved. The edit itself is meant for the
// window model's change wrapper, and the tree must not change between planning and running it.
namespace DropEdits {

using Edit = std::function<void()>;

// The dragged action `dropped` inserted into `target`'s actions at `position` (a move takes it
// from where it is in the tree first). Prints one empty line and gives nothing when the action
// is not in the tree under `root`, or `position` lies past the end of the list.
std::optional<Edit> planActionDrop(const DecisionPtr& root, const Action& dropped, const DecisionPtr& target, int position,
                                   bool copy);

// The dragged chance `dropped` put above, below or inside the chance at `index` of `container`.
// Prints one empty line and gives nothing when `index` is stale, the chance is not in the tree,
// the position lies past the end, or a move would take the chance into its own subtree.
std::optional<Edit> planChanceDrop(const DecisionPtr& root, const ChancePtr& dropped, const DecisionPtr& container, int index,
                                   DropTargeting::InsertPosition position, bool copy);

} // namespace DropEdits
} // namespace tavlin
