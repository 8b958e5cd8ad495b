#include "configwindow/core/DecisionTreeRows.h"

namespace tavlin {

namespace {

struct Counts {
    std::size_t actions = 0;
    std::size_t chances = 0;
};

void count(const Decision& decision, Counts& counts) {
    counts.actions += decision.actions.size();
    counts.chances += decision.chances.size();
    for (const auto& chance : decision.chances)
        if (chance && chance->decision) count(*chance->decision, counts);
}

} // namespace

DecisionTreeRows::DecisionTreeRows(const DecisionPtr& root) {
    if (!root) return;
    // Sized once: growing the lookups step by step costs more than the walk that counts.
    Counts counts;
    count(*root, counts);
    actions_.reserve(counts.actions);
    chances_.reserve(counts.chances);
    add(*root, nullptr, 0);
}

// Recursion is as deep as the tree; a tree deep enough to matter is refused by the decoder long
// before (it limits nesting).
void DecisionTreeRows::add(Decision& decision, Row* parent, int depth) {
    auto& siblings = parent ? parent->children : topLevel_;
    siblings.reserve(decision.actions.size() + decision.chances.size());
    for (std::size_t i = 0; i < decision.actions.size(); ++i) {
        Row& row = rows_.emplace_back();
        row.kind = Row::Kind::action;
        row.parent = parent;
        row.row = static_cast<int>(siblings.size());
        row.depth = depth;
        row.container = &decision;
        row.index = static_cast<int>(i);
        siblings.push_back(&row);
        actions_.emplace(decision.actions[i].id, &row);
    }
    for (std::size_t i = 0; i < decision.chances.size(); ++i) {
        const ChancePtr& chance = decision.chances[i];
        if (!chance) continue;
        Row& row = rows_.emplace_back();
        row.kind = Row::Kind::chance;
        row.parent = parent;
        row.row = static_cast<int>(siblings.size());
        row.depth = depth;
        row.container = &decision;
        row.index = static_cast<int>(i);
        row.chance = chance.get();
        siblings.push_back(&row);
        chances_.emplace(chance->id, &row);
        if (chance->decision) add(*chance->decision, &row, depth + 1);
    }
}

bool DecisionTreeRows::Row::isLastChild(const DecisionTreeRows& rows) const {
    return row + 1 == static_cast<int>(rows.children(parent).size());
}

const DecisionTreeRows::Row* DecisionTreeRows::actionRow(const Uuid& id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

const DecisionTreeRows::Row* DecisionTreeRows::chanceRow(const Uuid& id) const {
    const auto found = chances_.find(id);
    return found == chances_.end() ? nullptr : found->second;
}

std::string_view DecisionTreeRows::shownPart(std::string_view text) {
    if (text.size() <= shownTextLimit) return text;
    std::size_t end = shownTextLimit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end; // a continuation byte
    return text.substr(0, end);
}

std::string DecisionTreeRows::actionText(const Action& action) {
    if (action.actionDescription) return "- " + std::string(shownPart(*action.actionDescription));
    return "- " + std::string(shownPart(action.kind.shownText()));
}

std::string DecisionTreeRows::chanceText(const Chance& chance) {
    return "• " + std::string(shownPart(chance.pattern.kind.shownText()));
}

} // namespace tavlin
