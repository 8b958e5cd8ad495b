#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QStringList>
#include <QWidget>

class QFrame;
class QVBoxLayout;

namespace tavlin {

// What the input window shows while the hint is up: the history (when the setting asks for it),
// the actions the current decision ran, and the chances that lead on. It follows
// InputWindowManager::shared() and draws its own rounded background, because the window around
// it is translucent. Main thread only.
class InputWindowContentView : public QWidget {
public:
    explicit InputWindowContentView(QWidget* parent = nullptr);
    ~InputWindowContentView() override;

    // Nothing at all while there is nothing to show, so the window can shrink away.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The rows as they are on screen, top to bottom (dividers left out): the plain text of each
    // row's labels, and each row's opacity (none for a row that is not there).
    QStringList rowTexts() const;
    std::optional<double> rowOpacity(int row) const;
    // The divider between the actions and the chances; none while nothing is shown.
    QFrame* chancesDivider() const { return chancesDivider_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void scheduleRebuild();
    void rebuild();
    void clear();
    QFrame* addDivider();

    QVBoxLayout* layout_ = nullptr;
    std::vector<QWidget*> rows_;
    QFrame* chancesDivider_ = nullptr;
    std::uint64_t observerToken_ = 0;
};

} // namespace tavlin
