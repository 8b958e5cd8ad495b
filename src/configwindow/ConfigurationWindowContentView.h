#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QtCore/QPointer>
#include <QtWidgets/QDialog>
#include <QtWidgets/QWidget>

#include "configwindow/core/NodeEditCommandExecutor.h"
#include "platform/files/UserDefaults.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;

namespace tavlin {

class DecisionTreeView;
class LeaderKeyColumn;

// One entry of the node-edit menu as a menu host shows it: a divider, or a titled command that
// runs when chosen and is enabled or not.
struct NodeEditMenuEntry {
    bool isSeparator = false;
    QString title;
    bool enabled = false;
    std::function<void()> command;
};

// The configuration window's content: the flat editor's page for a generated configuration, the
// load error, or the tree editor (leader-key column, "Show Decision Border", the tree), and under
// the last two the bottom bar with the file buttons. It shows the process's one model and
// selection; commands go to the command handler.
class ConfigurationWindowContentView final : public QWidget {
public:
    using CommandHandler = std::function<void(CommandKind)>;
    // Asks whether to sort and answers through the callback; a warning box unless replaced.
    using SortConfirmer = std::function<void(QWidget* parent, std::function<void(bool confirmed)>)>;

    ConfigurationWindowContentView(ConfigurationWindowModel& model, Selection& selection, CommandHandler commandHandler,
                                   QWidget* parent = nullptr);
    ~ConfigurationWindowContentView() override;

    // The node-edit menu for the current selection.
    std::vector<NodeEditMenuEntry> nodeEditMenuEntries();
    // Told when the node-edit menu's entries may have changed (the selection moved), so the
    // window's menu bar can ask for them again.
    void setNodeEditMenuChanged(std::function<void()> changed) { nodeEditMenuChanged_ = std::move(changed); }
    // Makes the flat editor in its page, in place of the page's own content, once the page is
    // first shown (at once when it is shown now): a tree never pays for the hidden list.
    void setFlatEditorMaker(std::function<QWidget*(QWidget* page)> maker);

    // The sheets and the sort question, shown on this view's window. A new sheet closes one that
    // is open.
    void presentActionSheet(ActionSheetItem item);
    void presentPatternSheet(PatternSheetItem item);
    void confirmSort(std::function<void(bool confirmed)> answer);
    static void setSortConfirmer(SortConfirmer confirmer);

    // The executor's way to the window: sheets and questions go to the newest content view.
    static NodeEditCommandExecutor::Presenter presenter(std::function<void()> showConfigurationWindow);
    static ConfigurationWindowContentView* newest();

    // The parts tests drive.
    QStackedWidget* pages() const { return pages_; }
    QWidget* flatEditorPage() const { return flatPage_; }
    QWidget* errorPage() const { return errorPage_; }
    QWidget* treePage() const { return treePage_; }
    QLabel* errorLabel() const { return errorLabel_; }
    // The tree editor's parts are null until its page is first shown.
    DecisionTreeView* treeView() const { return treeView_; }
    QPushButton* loadSampleButton() const { return loadSampleButton_; }
    QCheckBox* decisionBorderToggle() const { return borderToggle_; }
    QPushButton* openFileButton() const { return openFileButton_; }
    QPushButton* reloadFileButton() const { return reloadFileButton_; }
    QPushButton* quitButton() const { return quitButton_; }
    QWidget* bottomBar() const { return bottomBar_; }
    QDialog* openSheet() const { return sheet_; }
    // The context menu for the selection, or null while no configuration is loaded.
    QMenu* makeContextMenu();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void buildTreePage();
    void buildFlatEditor();
    void buildBottomBar();
    void refresh();
    void refreshSettings();
    void chainFocusInLayoutOrder();
    void showContextMenu(QWidget* source, const QPoint& position);
    void present(QDialog* sheet);
    void run(CommandKind kind);

    ConfigurationWindowModel& model_;
    Selection& selection_;
    CommandHandler commandHandler_;
    ConfigurationWindowModel::ObserverToken modelToken_ = 0;
    Selection::ObserverToken selectionToken_ = 0;
    // The suite observed, kept so the observer leaves the same one.
    std::shared_ptr<UserDefaults> settingsStore_;
    std::uint64_t settingsToken_ = 0;

    std::function<void()> nodeEditMenuChanged_;
    std::function<QWidget*(QWidget* page)> flatEditorMaker_;
    QStackedWidget* pages_ = nullptr;
    QWidget* flatPage_ = nullptr;
    QWidget* errorPage_ = nullptr;
    QLabel* errorLabel_ = nullptr;
    QWidget* treePage_ = nullptr;
    LeaderKeyColumn* leaderKeyColumn_ = nullptr;
    QCheckBox* borderToggle_ = nullptr;
    QStackedWidget* treeArea_ = nullptr;
    QWidget* emptyTreePage_ = nullptr;
    QPushButton* loadSampleButton_ = nullptr;
    DecisionTreeView* treeView_ = nullptr;
    QWidget* bottomBar_ = nullptr;
    QWidget* backgroundNote_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    QPushButton* openFileButton_ = nullptr;
    QPushButton* reloadFileButton_ = nullptr;
    QPointer<QDialog> sheet_;
};

} // namespace tavlin
