#pragma once

class QWidget;

namespace tavlin::qt {

// Whether a window of this program shows in the desktop's task bar and pager: the activation
// policy's "regular" (shown) or "accessory" (not). Applies now when the window is on screen and
// again each time it is shown; does nothing off X11.
void setShownInTaskbar(QWidget* window, bool shown);

} // namespace tavlin::qt
