#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/Decision.h"

namespace tavlin {

// The rows the tree editor shows for a decision tree: a decision's actions, then its chances, each
// chance with its own decision's rows below it. Built afresh after every change; the rows point
// into the tree, which must outlive them.
class DecisionTreeRows {
public:
    struct Row {
        enum class Kind { action, chance };
        Kind kind = Kind::action;
        Row* parent = nullptr; // the chance row above; null at the top
        int row = 0;           // position among the parent's rows
        int depth = 0;
        Decision* container = nullptr;  // the decision whose list holds the item
        int index = 0;                  // position in that list
        const Chance* chance = nullptr; // chance rows only
        std::vector<Row*> children;

        const Action& action() const { return container->actions[static_cast<std::size_t>(index)]; }
        bool isLastChild(const DecisionTreeRows& rows) const;
    };

    DecisionTreeRows() = default;
    explicit DecisionTreeRows(const DecisionPtr& root);
    DecisionTreeRows(const DecisionTreeRows&) = delete;
    DecisionTreeRows& operator=(const DecisionTreeRows&) = delete;

    const std::vector<Row*>& topLevel() const { return topLevel_; }
    const std::vector<Row*>& children(const Row* parent) const { return parent ? parent->children : topLevel_; }
    std::size_t size() const { return rows_.size(); }

    const Row* actionRow(const Uuid& id) const;
    const Row* chanceRow(const Uuid& id) const;

    // "- " and the laid-out part of the action's description when it has one (Markdown), else of
    // its one-line text.
    static std::string actionText(const Action& action);
    // "• " and the laid-out part of the pattern's one-line text.
    static std::string chanceText(const Chance& chance);

private:
    void add(Decision& decision, Row* parent, int depth);

    std::deque<Row> rows_;
    std::vector<Row*> topLevel_;
    std::unordered_map<Uuid, const Row*> actions_;
    std::unordered_map<Uuid, const Row*> chances_;
};

} // namespace tavlin
