#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "flateditor/core/TriggerKeyPicker.h"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;

namespace tavlin::flateditor {

// The trigger keys of the row sheet: one button per key (a click deletes that position), the
// picker that appends a key, "Delete All Keys" and the conflict message. It keeps no keys of its
// own: the sheet hands it the keys after every change and hears of each user action once.
class TriggerKeyEditorView final : public QWidget {
public:
    struct Handlers {
        std::function<void(std::int64_t keyCode)> append;
        std::function<void(std::size_t position)> deleteKey;
        std::function<void()> deleteAll;
    };

    // `items` are the picker's entries; the first, which appends nothing, is retitled with the keys.
    TriggerKeyEditorView(const std::vector<TriggerKeyPickerItem>& items, Handlers handlers, QWidget* parent = nullptr);

    void setKeys(const std::vector<std::int64_t>& keys);
    // The conflict message under the keys; nothing hides it.
    void setConflictMessage(const std::optional<std::string>& message);

    QComboBox* picker() const { return picker_; }
    QPushButton* deleteAllButton() const { return deleteAll_; }
    QLabel* conflictLabel() const { return conflict_; }
    // The key buttons, in key order.
    const std::vector<QPushButton*>& keyButtons() const { return keyButtons_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void picked(int index);

    Handlers handlers_;
    std::vector<QPushButton*> keyButtons_;
    QScrollArea* keyScroller_ = nullptr;
    QWidget* keyRow_ = nullptr;
    QHBoxLayout* keyLayout_ = nullptr;
    QComboBox* picker_ = nullptr;
    QPushButton* deleteAll_ = nullptr;
    QLabel* conflict_ = nullptr;
    // Whether the open list may still pick: once per showing.
    bool listMayPick_ = false;
};

} // namespace tavlin::flateditor
