#include "configwindow/core/DropEdits.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/base/Diagnostics.h"

namespace tavlin::DropEdits {
namespace {

using DropTargeting::InsertPosition;

std::nullopt_t refuse() {
    diag::printLine(diag::Category::editor, "");
    return std::nullopt;
}

template <typename List>
auto at(List& list, int position) {
    return list.begin() + static_cast<std::ptrdiff_t>(position);
}

// Whether `decision` is `top` or lies anywhere below it.
bool isWithin(const Decision* decision, const Decision& top) {
    if (decision == &top) return true;
    std::vector<const Decision*> pending{&top};
    while (!pending.empty()) {
        const Decision* next = pending.back();
        pending.pop_back();
        for (const auto& chance : next->chances) {
            if (chance->decision.get() == decision) return true;
            pending.push_back(chance->decision.get());
        }
    }
    return false;
}

// Inserts first when the removal comes later in the same list, so both positions stay valid.
template <typename Item, typename List>
Edit moveEdit(const DecisionPtr& source, int from, const DecisionPtr& target, int to, Item item, List Decision::*list) {
    return [source, from, target, to, item = std::move(item), list] {
        auto& sourceList = (*source).*list;
        auto& targetList = (*target).*list;
        if (source == target && from < to) {
            targetList.insert(at(targetList, to), item);
            sourceList.erase(at(sourceList, from));
        } else {
            sourceList.erase(at(sourceList, from));
            targetList.insert(at(targetList, to), item);
        }
    };
}

} // namespace

std::optional<Edit> planActionDrop(const DecisionPtr& root, const Action& dropped, const DecisionPtr& target, int position,
                                   bool copy) {
    if (!root || !target) return refuse();
    const DecisionPtr source = root->containerOfActionWithID(dropped.id);
    if (!source) return refuse();
    const auto found = std::find_if(source->actions.begin(), source->actions.end(),
                                    [&](const Action& action) { return action.id == dropped.id; });
    if (found == source->actions.end()) return refuse();
    const int from = static_cast<int>(found - source->actions.begin());
    if (position < 0 || static_cast<std::size_t>(position) > target->actions.size()) return refuse();
    if (copy) {
        return [target, position, copied = Action(dropped.kind, dropped.actionDescription)] {
            target->actions.insert(at(target->actions, position), copied);
        };
    }
    // Next to itself in its own list a moved item would land where it is: no edit, no save.
    if (source == target && (position == from || position == from + 1)) return std::nullopt;
    return moveEdit(source, from, target, position, dropped, &Decision::actions);
}

std::optional<Edit> planChanceDrop(const DecisionPtr& root, const ChancePtr& dropped, const DecisionPtr& container, int index,
                                   InsertPosition position, bool copy) {
    if (!container || !dropped || index < 0 || static_cast<std::size_t>(index) >= container->chances.size()) return refuse();
    const ChancePtr targetChance = container->chances[static_cast<std::size_t>(index)];
    if (!root) return refuse();
    const DecisionPtr source = root->containerOfChanceWithID(dropped->id);
    if (!source) return refuse();
    const auto found = std::find_if(source->chances.begin(), source->chances.end(),
                                    [&](const ChancePtr& chance) { return chance->id == dropped->id; });
    if (found == source->chances.end()) return refuse();
    const int from = static_cast<int>(found - source->chances.begin());

    DecisionPtr target = container;
    int to = index + (position == InsertPosition::below ? 1 : 0);
    if (position == InsertPosition::inside) {
        if (targetChance->id == dropped->id) return std::nullopt;
        target = targetChance->decision;
        to = 0;
    }
    if (static_cast<std::size_t>(to) > target->chances.size()) return refuse();
    if (copy) {
        return [target, to, copied = dropped->copyWithNewIDs()] { target->chances.insert(at(target->chances, to), copied); };
    }
    if (position != InsertPosition::inside && source == target && (to == from || to == from + 1)) return std::nullopt;
    // Moved into its own subtree, the chance would be cut off from the tree with everything below it.
    if (isWithin(target.get(), *(*found)->decision)) return refuse();
    return moveEdit(source, from, target, to, dropped, &Decision::chances);
}

} // namespace tavlin::DropEdits
