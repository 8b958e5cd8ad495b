#pragma once

#include <vector>

class QPushButton;
class QRect;
class QString;
class QWidget;

namespace tavlin {

// Draws the keyboard-focus ring inside `area` of `widget` (which must be painting): a line in
// the highlight colour, for controls whose style shows no focus of its own.
void drawFocusRing(QWidget& widget, const QRect& area);

// A flat button drawn as a link, which shows a focus ring while it has the keyboard focus.
QPushButton* makeLinkButton(const QString& title, QWidget* parent);

// Chains the focus of `blocks` in the order given: a block's own focusable widgets keep the order
// they have among themselves, but for those named as blocks of their own. Widgets made later go to the end of the window's chain, so this
// runs again after they are made.
void chainFocus(const std::vector<QWidget*>& blocks);

} // namespace tavlin
