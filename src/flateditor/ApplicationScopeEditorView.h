#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QWidget>

class QComboBox;
class QListWidget;
class QToolButton;

namespace tavlin::flateditor {

// The application scope of the row sheet: the kind ("All Applications" and the two limited
// kinds), and for the limited kinds the list of applications with "plus" and "minus". It shows
// what the sheet hands it and reports each user action once.
class ApplicationScopeEditorView final : public QWidget {
public:
    struct Handlers {
        std::function<void(int kindIndex)> kindChosen; // the position among the titles
        std::function<void()> add;
        std::function<void()> removeSelected;
        std::function<void(const std::optional<std::string>& path)> select;
    };

    ApplicationScopeEditorView(const std::vector<std::string>& kindTitles, Handlers handlers, QWidget* parent = nullptr);

    // Kind 0 is all applications, which shows no list.
    void setScope(int kindIndex, const std::vector<std::string>& paths, const std::optional<std::string>& selectedPath);

    QComboBox* kindPicker() const { return kindPicker_; }
    QListWidget* applicationList() const { return list_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }

private:
    QIcon iconFor(const std::string& path);

    Handlers handlers_;
    QComboBox* kindPicker_ = nullptr;
    QWidget* listPart_ = nullptr;
    QListWidget* list_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* remove_ = nullptr;
    std::map<std::string, QIcon> icons_; // taken once per path, as the row was made
};

} // namespace tavlin::flateditor
