#pragma once

#include <vector>

class QAbstractScrollArea;
class QRect;
class QStyle;
class QWidget;

namespace tavlin::qt {

// Draws the keyboard-focus ring inside `area` of `widget` (which must be painting): a line in
// the highlight colour, for controls whose style shows no focus of its own.
void drawFocusRing(QWidget& widget, const QRect& area);

// The application's style: the desktop's own, but for focus, which it shows as a ring as clear as
// drawFocusRing's (the stock style changes one pixel's colour) around buttons, check boxes, text
// fields, spin boxes, combo boxes and the current item of a list.
QStyle* makeFocusRingStyle();

// Rings the viewport of `view` while it has the keyboard focus: the style shows none on lists and
// trees, and their rows' highlight is the selection, which stays when the focus goes.
void showFocusRing(QAbstractScrollArea& view);

// Chains the focus of `blocks` in the order given: a block's own focusable widgets keep the order
// they have among themselves, but for those named as blocks of their own. Widgets made later go
// to the end of the window's chain, so this runs again after they are made.
void chainFocus(const std::vector<QWidget*>& blocks);

} // namespace tavlin::qt
