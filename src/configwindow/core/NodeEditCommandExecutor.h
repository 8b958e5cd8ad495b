#pragma once

#include <functional>

#include "configwindow/core/ActionSheetItem.h"
#include "configwindow/core/CommandKind.h"
#include "configwindow/core/ConfigurationWindowModel.h"
#include "configwindow/core/PatternSheetItem.h"
#include "configwindow/core/Selection.h"

namespace tavlin {

// Carries out every tree command, from the menu, the context menu or a double click: the adds and
// edits open a sheet, the deletes change the tree at once, the sort asks first.
class NodeEditCommandExecutor {
public:
    struct Presenter {
        std::function<void()> showConfigurationWindow;
        // A new item replaces a sheet that is open.
        std::function<void(ActionSheetItem)> presentActionSheet;
        std::function<void(PatternSheetItem)> presentPatternSheet;
        // Asks whether to sort; calls back with the answer, now or later.
        std::function<void(std::function<void(bool confirmed)>)> confirmSort;
    };

    NodeEditCommandExecutor(ConfigurationWindowModel& model, Selection& selection, Presenter presenter);

    void execute(CommandKind kind);

private:
    void withAction(const std::function<void(const ActionPlace&)>& act);
    void withChance(const std::function<void(const ChancePlace&)>& act);
    void openActionSheet(DecisionPtr decision, ActionSheetItem::ChangeKind changeKind);
    void openPatternSheet(DecisionPtr decision, PatternSheetItem::ChangeKind changeKind);
    void confirmSortByPattern(std::shared_ptr<Configuration> configuration);

    ConfigurationWindowModel& model_;
    Selection& selection_;
    Presenter presenter_;
};

} // namespace tavlin
