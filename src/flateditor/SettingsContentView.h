#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "flateditor/RowComposeSheet.h"
#include "flateditor/RowSections.h"
#include "platform/base/Uuid.h"
#include "platform/desktop/NotificationCenter.h"
#include "platform/files/UserDefaults.h"

class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QToolButton;
class QTreeView;

namespace tavlin::flateditor {

class KeysAndActionRowView;

// The flat key-binding list: the stored rows in sections by application scope, the command
// bar under them, and the sheets it opens. It keeps no copy of the rows: it reads the stored
// list for every command and writes each change back at once; the shell's observer of the
// settings turns that into the configuration file and the leader keys.
class SettingsContentView final : public QWidget {
    Q_OBJECT

public:
    explicit SettingsContentView(QWidget* parent = nullptr);
    ~SettingsContentView() override;

    // What "Open Settings" does; by default it prints an empty line.
    static void setOpenSettingsHandler(std::function<void()> handler);

    QTreeView* list() const { return list_; }
    QStandardItemModel* model() const { return model_; }
    const std::vector<Section>& sections() const { return sections_; }
    const std::optional<Uuid>& selectedRowID() const { return selectedRowID_; }
    bool isListenEventAccessEnabled() const { return isListenEventAccessEnabled_; }

    void selectRow(const Uuid& rowID);
    void newRow();
    void editRow();
    void newRowWithSelected();
    void deleteRow();
    // The row compose sheet's answer once it has stored a row.
    void rowSaved(const std::optional<FlatKeysAndActionRow>& row);
    // Reads the permission state; done each time the view comes on screen.
    void refreshInputMonitoring();
    void showDisabledApplications();
    void showInputMonitoringGrant();

    // Builds the list again from the stored rows; the store's observer asks for it once per
    // turn of the event loop.
    void render();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleRender();
    void restoreSelection();
    void updateButtons();
    void selectionChanged();
    void itemChanged(QStandardItem* item);
    void present(const std::optional<RowComposeSheet::ChangeKind>& change);

    QTreeView* list_ = nullptr;
    QStandardItemModel* model_ = nullptr;
    KeysAndActionRowView* rowView_ = nullptr;
    QToolButton* newButton_ = nullptr;
    QToolButton* deleteButton_ = nullptr;
    QToolButton* editButton_ = nullptr;
    QToolButton* duplicateButton_ = nullptr;
    QPushButton* disabledApplicationsButton_ = nullptr;
    QPushButton* inputMonitoringButton_ = nullptr;
    QPushButton* openSettingsButton_ = nullptr;

    std::vector<Section> sections_;
    std::optional<Uuid> selectedRowID_;
    bool isListenEventAccessEnabled_ = false;
    bool renderPending_ = false;
    // The stored text of the rows last drawn.
    std::optional<std::string> renderedRowsText_;
    bool rendering_ = false;
    std::shared_ptr<UserDefaults> store_;
    UserDefaults::ObserverToken observer_ = 0;
    NotificationCenter::Token namesObserver_ = 0;
};

} // namespace tavlin::flateditor
