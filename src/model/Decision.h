#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/Action.h"
#include "model/ActionOutcome.h"
#include "model/Pattern.h"

namespace tavlin {

class Chance;
class Decision;
using ChancePtr = std::shared_ptr<Chance>;
using DecisionPtr = std::shared_ptr<Decision>;

// One node of the tree: the actions run when it is reached, and the chances that lead on.
// Nodes are shared by reference (the session's history points into the same tree), so they
// are always held by shared pointers; make them with make().
class Decision : public std::enable_shared_from_this<Decision> {
public:
    std::vector<Action> actions;
    std::vector<ChancePtr> chances; // an empty list makes the decision a leaf

    Decision(std::vector<Action> actions, std::vector<ChancePtr> chances)
        : actions(std::move(actions)), chances(std::move(chances)) {}
    static DecisionPtr make(std::vector<Action> actions = {}, std::vector<ChancePtr> chances = {});
    // The sample tree, built afresh on every call, so no caller can change another's copy.
    static DecisionPtr example();

    // A deep copy in which every action, chance and pattern has a fresh identifier.
    DecisionPtr copyWithNewIDs() const;
    // A new tree whose chances are stably sorted by pattern at every level; chances are new,
    // patterns and actions keep their identifiers.
    DecisionPtr sortedByPattern() const;
    // One level of that: the chances stably sorted by pattern, the decisions below untouched.
    static std::vector<ChancePtr> chancesSortedByPattern(std::vector<ChancePtr> chances);
    // The first decision in pre-order whose actions (chances) hold this identifier.
    DecisionPtr containerOfActionWithID(const Uuid& id);
    DecisionPtr containerOfChanceWithID(const Uuid& id);

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static DecisionPtr fromJson(const JsonReader& reader);
};

// One edge of the tree. Its identifier lives only while the program runs.
class Chance {
public:
    const Uuid id = Uuid::random();
    Pattern pattern;
    DecisionPtr decision;

    Chance(Pattern pattern, DecisionPtr decision) : pattern(std::move(pattern)), decision(std::move(decision)) {}
    // A chance that carries a known identifier: one delivered by a drag stands for the dragged one.
    Chance(Uuid id, Pattern pattern, DecisionPtr decision) : id(id), pattern(std::move(pattern)), decision(std::move(decision)) {}
    static ChancePtr make(Pattern pattern, DecisionPtr decision);

    ChancePtr copyWithNewIDs() const;
    // The pattern's text, ": ", then the child decision's actions joined by "; ".
    std::string description() const;

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static ChancePtr fromJson(const JsonReader& reader);
};

// One entry of a key sequence's history (never stored).
struct ActionResult {
    class MatchKind {
    public:
        struct matchedAndNotLast {
            ActionOutcome actionOutcome;
            ChancePtr matchedChance;
        };
        struct notMatchedAndNotLast {
            ActionOutcome actionOutcome;
        };
        struct lastSoDontCareMatch {};

        MatchKind(matchedAndNotLast value) : value_(std::move(value)) {}
        MatchKind(notMatchedAndNotLast value) : value_(std::move(value)) {}
        MatchKind(lastSoDontCareMatch value) : value_(value) {}

        template <typename Case>
        const Case* get() const {
            return std::get_if<Case>(&value_);
        }

        std::string description() const;
        // The same with keys and patterns as a person reads them; a received message stays as it came.
        std::string shownText() const;
        std::string id() const;

    private:
        std::variant<matchedAndNotLast, notMatchedAndNotLast, lastSoDontCareMatch> value_;
    };

    std::vector<Action> actions; // the whole action list of the recorded decision
    MatchKind matchKind;

    // What the input window's history shows: the actions in this desktop's words.
    std::string description() const;
    std::string id() const;
};

} // namespace tavlin
