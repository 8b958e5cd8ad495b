#include "configwindow/core/DropHandler.h"

#include <cstddef>

#include "configwindow/core/DropEdits.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"

namespace tavlin::DropHandler {

using DropTargeting::InsertPosition;

void actionDropped(ConfigurationWindowModel& model, Action dropped, DecisionPtr container, int index, InsertPosition position,
                   bool copy) {
    if (!copy && container && index >= 0 && static_cast<std::size_t>(index) < container->actions.size() &&
        container->actions[static_cast<std::size_t>(index)].id == dropped.id)
        return;
    diag::printLine(diag::Category::editor, "action dragged: " + dropped.kind.description());
    const int to = index + (position == InsertPosition::below ? 1 : 0);
    MainQueue::shared().post([&model, dropped = std::move(dropped), container = std::move(container), to, copy] {
        if (const auto edit = DropEdits::planActionDrop(model.rootDecision(), dropped, container, to, copy))
            model.applyChange(*edit);
    });
}

void chanceDropped(ConfigurationWindowModel& model, ChancePtr dropped, DecisionPtr container, int index, InsertPosition position,
                   bool copy) {
    if (!dropped) return;
    if (!copy && container && index >= 0 && static_cast<std::size_t>(index) < container->chances.size() &&
        container->chances[static_cast<std::size_t>(index)]->id == dropped->id)
        return;
    MainQueue::shared().post([&model, dropped = std::move(dropped), container = std::move(container), index, position, copy] {
        if (const auto edit = DropEdits::planChanceDrop(model.rootDecision(), dropped, container, index, position, copy))
            model.applyChange(*edit);
    });
}

} // namespace tavlin::DropHandler
