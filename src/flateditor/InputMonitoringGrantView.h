#pragma once

#include <functional>

#include <QDialog>

class QPushButton;

namespace tavlin::flateditor {

// The sheet that explains input monitoring and asks for it. The state is read once, when the
// sheet is shown; the request runs only after the sheet has gone.
class InputMonitoringGrantView final : public QDialog {
public:
    explicit InputMonitoringGrantView(QWidget* parent = nullptr);

    QPushButton* grantButton() const { return grantButton_; }
    QPushButton* doneButton() const { return doneButton_; }
    bool isListenEventAccessEnabled() const { return isListenEventAccessEnabled_; }

    void grantAccess();
    void refreshAccessState();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void runDidDisappearHandler();

    QPushButton* grantButton_ = nullptr;
    QPushButton* doneButton_ = nullptr;
    bool isListenEventAccessEnabled_ = false;
    std::function<void()> didDisappearHandler_;
};

} // namespace tavlin::flateditor
