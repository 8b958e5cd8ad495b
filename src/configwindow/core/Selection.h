#pragma once

#include <functional>
#include <map>
#include <optional>
#include <variant>

#include "configwindow/core/ConfigurationWindowModel.h"
#include "model/Decision.h"

namespace tavlin {

// The tree row the user last selected: an action row or a chance's pattern row, as it was when
// it was selected. Two selections are the same row when they name the same action or chance.
struct SelectedActionOrChanceRow {
    struct ActionRow {
        DecisionPtr decisionContainer;
        Action action;
        int currentActionIndex = 0;
    };
    struct ChanceRow {
        Uuid chanceID;
        DecisionPtr decisionContainer;
        int currentChanceIndex = 0;
        Pattern pattern;
    };

    std::variant<ActionRow, ChanceRow> row;

    const ActionRow* action() const { return std::get_if<ActionRow>(&row); }
    const ChanceRow* chance() const { return std::get_if<ChanceRow>(&row); }
    friend bool operator==(const SelectedActionOrChanceRow& a, const SelectedActionOrChanceRow& b);
};

// Where an item is in the tree now.
struct ActionPlace {
    DecisionPtr container;
    int index = 0;
};
struct ChancePlace {
    DecisionPtr container;
    int index = 0;
    ChancePtr chance;
};
std::optional<ActionPlace> findAction(const DecisionPtr& root, const Uuid& id);
std::optional<ChancePlace> findChance(const DecisionPtr& root, const Uuid& id);
// Whether the decision is the root or one below it.
bool treeContains(const DecisionPtr& root, const Decision* decision);

// The window's selection, one per process like the model. It follows the model: after every
// change it names its item where it is now, or nothing when the item is gone (deleted, or the
// tree replaced by a reload, a sort or the sample tree).
class Selection {
public:
    explicit Selection(ConfigurationWindowModel& model);
    ~Selection();
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    const std::optional<SelectedActionOrChanceRow>& current() const { return current_; }
    void set(std::optional<SelectedActionOrChanceRow> selection);
    void clear() { set(std::nullopt); }
    void selectAction(const Uuid& actionID);
    void selectChance(const Uuid& chanceID);

    // An edit replaced an action by a new one (with its own identifier): a selection of the old
    // one moves to the new one.
    void actionReplaced(const Uuid& oldID, const Uuid& newID);

    using ObserverToken = int;
    ObserverToken addObserver(std::function<void()> changed);
    void removeObserver(ObserverToken token);

private:
    void follow();
    void announce();

    ConfigurationWindowModel& model_;
    ConfigurationWindowModel::ObserverToken modelToken_;
    std::optional<SelectedActionOrChanceRow> current_;
    std::map<ObserverToken, std::function<void()>> observers_;
    ObserverToken nextToken_ = 1;
};

} // namespace tavlin
