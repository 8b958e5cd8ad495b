#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "flateditor/DisabledApplicationsList.h"

class QListWidget;
class QListWidgetItem;
class QToolButton;
class QPushButton;

namespace tavlin::flateditor {

// The sheet that keeps the applications in which the key bindings are to be disabled. Edits
// stay in the sheet until "Done" stores them; Escape and the close box store nothing.
class DisabledApplicationsView final : public QDialog {
public:
    DisabledApplicationsView(std::vector<std::string> disabledApplications,
                             const std::vector<std::string>& suggestedDisabledApplicationPaths, QWidget* parent = nullptr);

    const DisabledApplicationsList& state() const { return state_; }
    QListWidget* applicationList() const { return applicationList_; }
    // Null when there are no suggestions.
    QListWidget* suggestionList() const { return suggestionList_; }
    QToolButton* addButton() const { return addButton_; }
    QToolButton* removeButton() const { return removeButton_; }
    QPushButton* doneButton() const { return doneButton_; }

    void addApplication();
    void removeSelectedApplication();
    void addSuggestion(const std::string& path);
    void saveAndDismiss();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuildList();
    void updateButtons();

    DisabledApplicationsList state_;
    QListWidget* applicationList_ = nullptr;
    QListWidget* suggestionList_ = nullptr;
    QToolButton* addButton_ = nullptr;
    QToolButton* removeButton_ = nullptr;
    QPushButton* doneButton_ = nullptr;
};

} // namespace tavlin::flateditor
