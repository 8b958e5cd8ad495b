#pragma once

#include <functional>
#include <vector>

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include "configwindow/ConfigurationAddHotKeySheet.h"

#include "configwindow/core/ConfigurationWindowModel.h"
#include "model/HotKey.h"

class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace tavlin {

class ConfigurationHotKeyRow;
class ConfigurationLeaderKeyView;
class HotKeyManager;

// The leader keys of the loaded configuration: one editor while there are fewer than two, else
// one row per key with its delete button; then "Click to add more", which opens the add sheet.
// It follows the model: the single editor is kept across changes (so focus and a recording
// survive edits of the tree) and made anew only when the count crosses two. It keeps the height
// of the single editor and the link whatever it shows, so the tree under it never moves: a long
// list of keys scrolls.
class LeaderKeyColumn final : public QWidget {
public:
    LeaderKeyColumn(ConfigurationWindowModel& model, HotKeyManager& manager, QWidget* parent = nullptr);
    ~LeaderKeyColumn() override;

    ConfigurationLeaderKeyView* editor() const { return editor_; }
    const std::vector<ConfigurationHotKeyRow*>& rows() const { return rows_; }
    QLabel* addMoreLabel() const { return addMore_; }
    ConfigurationAddHotKeySheet* addSheet() const { return addSheet_; }
    void showAddSheet();
    // Told after the editors were made anew (they join the end of the window's focus chain).
    void setEditorsRemade(std::function<void()> remade) { editorsRemade_ = std::move(remade); }

private:
    void refresh();
    void clearEditors();
    void addEditor(QWidget* widget);

    ConfigurationWindowModel& model_;
    HotKeyManager& manager_;
    ConfigurationWindowModel::ObserverToken token_ = 0;
    QScrollArea* editorsArea_ = nullptr;
    QVBoxLayout* editors_ = nullptr;
    ConfigurationLeaderKeyView* editor_ = nullptr;
    std::vector<ConfigurationHotKeyRow*> rows_;
    std::vector<HotKey> shownRows_;
    QLabel* addMore_ = nullptr;
    QPointer<ConfigurationAddHotKeySheet> addSheet_;
    std::function<void()> editorsRemade_;
};

} // namespace tavlin
