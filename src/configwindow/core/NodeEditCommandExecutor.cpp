#include "configwindow/core/NodeEditCommandExecutor.h"

#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/Alerts.h"

namespace tavlin {

NodeEditCommandExecutor::NodeEditCommandExecutor(ConfigurationWindowModel& model, Selection& selection, Presenter presenter)
    : model_(model), selection_(selection), presenter_(std::move(presenter)) {}

// The selection is found again by identifier: the index it was made with may name another item
// by now, lie past the end, or point into a tree that a reload or sort replaced.
void NodeEditCommandExecutor::withAction(const std::function<void(const ActionPlace&)>& act) {
    const auto& selection = selection_.current();
    const auto place = selection && selection->action() ? findAction(model_.rootDecision(), selection->action()->action.id)
                                                        : std::nullopt;
    if (!place) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    act(*place);
}

void NodeEditCommandExecutor::withChance(const std::function<void(const ChancePlace&)>& act) {
    const auto& selection = selection_.current();
    const auto place = selection && selection->chance() ? findChance(model_.rootDecision(), selection->chance()->chanceID)
                                                        : std::nullopt;
    if (!place) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    act(*place);
}

void NodeEditCommandExecutor::openActionSheet(DecisionPtr decision, ActionSheetItem::ChangeKind changeKind) {
    auto* model = &model_;
    auto* selection = &selection_;
    const auto root = model_.rootDecision();
    auto item = ActionSheetItem::make(
        std::move(decision), std::move(changeKind), [model](const std::function<void()>& edit) { model->applyChange(edit); },
        [model](const Decision& decision) { return treeContains(model->rootDecision(), &decision); },
        [selection](const Uuid& oldID, const Uuid& newID) { selection->actionReplaced(oldID, newID); });
    if (presenter_.presentActionSheet) presenter_.presentActionSheet(std::move(item));
}

void NodeEditCommandExecutor::openPatternSheet(DecisionPtr decision, PatternSheetItem::ChangeKind changeKind) {
    auto* model = &model_;
    auto item = PatternSheetItem::make(
        std::move(changeKind), std::move(decision), [model](const std::function<void()>& edit) { model->applyChange(edit); },
        [model](const Decision& decision) { return treeContains(model->rootDecision(), &decision); });
    if (!item) {
        diag::printLine(diag::Category::editor, "");
        return;
    }
    if (presenter_.presentPatternSheet) presenter_.presentPatternSheet(std::move(*item));
}

void NodeEditCommandExecutor::execute(CommandKind kind) {
    using K = CommandKind;
    if (presenter_.showConfigurationWindow) presenter_.showConfigurationWindow();
    if (const auto* error = model_.error()) {
        showAlert("Failed to execute the menu item: " + std::string(rawValue(kind)), *error);
        return;
    }
    const auto configuration = model_.configuration();
    const DecisionPtr root = configuration->decision;
    switch (kind) {
    case K::addRootAction: openActionSheet(root, ActionSheetItem::New{static_cast<int>(root->actions.size())}); return;
    case K::addRootChance: openPatternSheet(root, PatternSheetItem::NewChance{static_cast<int>(root->chances.size())}); return;
    case K::addActionAbove:
        withAction([&](const ActionPlace& a) { openActionSheet(a.container, ActionSheetItem::New{a.index}); });
        return;
    case K::editAction:
        withAction([&](const ActionPlace& a) {
            openActionSheet(a.container, ActionSheetItem::Edit{a.container->actions[static_cast<std::size_t>(a.index)], a.index});
        });
        return;
    case K::addActionBelow:
        withAction([&](const ActionPlace& a) { openActionSheet(a.container, ActionSheetItem::New{a.index + 1}); });
        return;
    case K::deleteAction:
        withAction([&](const ActionPlace& a) {
            selection_.clear();
            model_.applyChange([&] { a.container->actions.erase(a.container->actions.begin() + a.index); });
        });
        return;
    case K::addChanceAbove:
        withChance([&](const ChancePlace& c) { openPatternSheet(c.container, PatternSheetItem::NewChance{c.index}); });
        return;
    case K::editPattern:
        withChance([&](const ChancePlace& c) {
            openPatternSheet(c.container, PatternSheetItem::EditPattern{c.chance->pattern, c.index});
        });
        return;
    case K::addChanceBelow:
        withChance([&](const ChancePlace& c) { openPatternSheet(c.container, PatternSheetItem::NewChance{c.index + 1}); });
        return;
    case K::deleteChance:
        withChance([&](const ChancePlace& c) {
            selection_.clear();
            model_.applyChange([&] { c.container->chances.erase(c.container->chances.begin() + c.index); });
        });
        return;
    case K::addChildAction:
        withChance([&](const ChancePlace& c) {
            const DecisionPtr child = c.chance->decision;
            openActionSheet(child, ActionSheetItem::New{static_cast<int>(child->actions.size())});
        });
        return;
    case K::addChildChance:
        withChance([&](const ChancePlace& c) {
            const DecisionPtr child = c.chance->decision;
            openPatternSheet(child, PatternSheetItem::NewChance{static_cast<int>(child->chances.size())});
        });
        return;
    case K::sortAllByChance: MainQueue::shared().post([this, configuration] { confirmSortByPattern(configuration); }); return;
    }
}

void NodeEditCommandExecutor::confirmSortByPattern(std::shared_ptr<Configuration> configuration) {
    if (!presenter_.confirmSort) return;
    presenter_.confirmSort([this, configuration](bool confirmed) {
        if (!confirmed) return;
        // A reload while the question was open replaced the configuration: sorting the old one
        // would save nothing the window shows.
        if (model_.configuration() != configuration) {
            diag::printLine(diag::Category::editor, "");
            return;
        }
        model_.applyChange([&] { configuration->decision = configuration->decision->sortedByPattern(); });
    });
}

} // namespace tavlin
