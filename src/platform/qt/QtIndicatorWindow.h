#pragma once

#include <functional>
#include <string>

#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

#include "platform/desktop/InputWindow.h"

class QScreen;

namespace tavlin::qt {

// The leader-key indicator: a white text on a blue pill in the top-left corner of the primary
// screen, above everything, never focused, letting clicks through. It turns invisible while the
// pointer is over it, so it never hides what lies beneath.
class QtIndicatorWindow final : public QWidget, public IndicatorWindow {
public:
    // `heightPercent` answers the stored height as a percentage of the screen's (0: follow
    // the top panel).
    explicit QtIndicatorWindow(std::function<double()> heightPercent);

    void show(const std::string& text) override;
    void orderOut() override;

    const QString& text() const { return text_; }
    bool hovering() const { return hovering_; }

    // The pill's height for a screen (null: none) and a stored percentage. A screen without a
    // top panel, or one too thin to hold a readable text, gets the height used without a screen.
    static double pillHeight(const QScreen* screen, double heightPercent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateHovering();

    std::function<double()> heightPercent_;
    QString text_;
    double height_ = 20;
    bool hovering_ = false;
    QTimer hoverPoll_;
};

} // namespace tavlin::qt
