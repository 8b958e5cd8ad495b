#include "configwindow/core/Selection.h"

#include <vector>

namespace tavlin {

bool operator==(const SelectedActionOrChanceRow& a, const SelectedActionOrChanceRow& b) {
    if (a.action() && b.action()) return a.action()->action.id == b.action()->action.id;
    if (a.chance() && b.chance()) return a.chance()->chanceID == b.chance()->chanceID;
    return false;
}

namespace {

// Depth first, without recursion: a tree may be deeper than the stack is kind to.
template <typename Visit>
void walk(const DecisionPtr& root, Visit&& visit) {
    if (!root) return;
    std::vector<const DecisionPtr*> stack{&root};
    while (!stack.empty()) {
        const DecisionPtr& decision = *stack.back();
        stack.pop_back();
        if (visit(decision)) return;
        for (auto it = decision->chances.rbegin(); it != decision->chances.rend(); ++it)
            if (*it && (*it)->decision) stack.push_back(&(*it)->decision);
    }
}

} // namespace

std::optional<ActionPlace> findAction(const DecisionPtr& root, const Uuid& id) {
    std::optional<ActionPlace> found;
    walk(root, [&](const DecisionPtr& decision) {
        for (std::size_t i = 0; i < decision->actions.size(); ++i) {
            if (decision->actions[i].id == id) {
                found = ActionPlace{decision, static_cast<int>(i)};
                return true;
            }
        }
        return false;
    });
    return found;
}

std::optional<ChancePlace> findChance(const DecisionPtr& root, const Uuid& id) {
    std::optional<ChancePlace> found;
    walk(root, [&](const DecisionPtr& decision) {
        for (std::size_t i = 0; i < decision->chances.size(); ++i) {
            if (decision->chances[i] && decision->chances[i]->id == id) {
                found = ChancePlace{decision, static_cast<int>(i), decision->chances[i]};
                return true;
            }
        }
        return false;
    });
    return found;
}

bool treeContains(const DecisionPtr& root, const Decision* target) {
    bool found = false;
    walk(root, [&](const DecisionPtr& decision) { return found = decision.get() == target; });
    return found;
}

Selection::Selection(ConfigurationWindowModel& model) : model_(model) {
    modelToken_ = model_.addObserver({nullptr, [this] { follow(); }});
}

Selection::~Selection() { model_.removeObserver(modelToken_); }

void Selection::set(std::optional<SelectedActionOrChanceRow> selection) {
    current_ = std::move(selection);
    announce();
}

void Selection::selectAction(const Uuid& actionID) {
    const auto place = findAction(model_.rootDecision(), actionID);
    if (!place) {
        clear();
        return;
    }
    set(SelectedActionOrChanceRow{SelectedActionOrChanceRow::ActionRow{
        place->container, place->container->actions[static_cast<std::size_t>(place->index)], place->index}});
}

void Selection::selectChance(const Uuid& chanceID) {
    const auto place = findChance(model_.rootDecision(), chanceID);
    if (!place) {
        clear();
        return;
    }
    set(SelectedActionOrChanceRow{
        SelectedActionOrChanceRow::ChanceRow{chanceID, place->container, place->index, place->chance->pattern}});
}

void Selection::actionReplaced(const Uuid& oldID, const Uuid& newID) {
    if (current_ && current_->action() && current_->action()->action.id == oldID) {
        // Found again once the change is done.
        auto row = *current_->action();
        row.action.id = newID;
        current_ = SelectedActionOrChanceRow{row};
    }
}

void Selection::follow() {
    if (!current_) return;
    if (const auto* action = current_->action()) selectAction(action->action.id);
    else selectChance(current_->chance()->chanceID);
}

Selection::ObserverToken Selection::addObserver(std::function<void()> changed) {
    const ObserverToken token = nextToken_++;
    observers_.emplace(token, std::move(changed));
    return token;
}

void Selection::removeObserver(ObserverToken token) { observers_.erase(token); }

void Selection::announce() {
    std::vector<std::function<void()>> observers;
    for (const auto& [token, observer] : observers_) observers.push_back(observer);
    for (const auto& observer : observers) observer();
}

} // namespace tavlin
