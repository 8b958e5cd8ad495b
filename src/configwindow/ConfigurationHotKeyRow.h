#pragma once

#include <functional>

#include <QtWidgets/QWidget>

#include "model/HotKey.h"

class QLabel;
class QStackedWidget;
class QToolButton;

namespace tavlin {

// One leader key of the list: its text, and in front of it a bullet that turns into a delete
// button while the pointer is over the row or the row has keyboard focus.
class ConfigurationHotKeyRow final : public QWidget {
public:
    ConfigurationHotKeyRow(HotKey hotKey, std::function<void()> deleteTapped, QWidget* parent = nullptr);

    const HotKey& hotKey() const { return hotKey_; }
    bool deleteShown() const;
    QToolButton* deleteButton() const { return deleteButton_; }
    QLabel* textLabel() const { return text_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void updateDeleteShown();

    HotKey hotKey_;
    bool hovered_ = false;
    QStackedWidget* marker_ = nullptr;
    QToolButton* deleteButton_ = nullptr;
    QLabel* text_ = nullptr;
};

} // namespace tavlin
