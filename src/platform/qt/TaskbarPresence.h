#pragma once

class QWidget;

namespace tavlin::qt {

// Whether a window of this program shows in the desktop's task bar and pager: the activation
// policy's "regular" (shown) or "accessory" (not). A window on screen asks the window manager;
// one not yet mapped carries it into its next mapping (window managers drop the state when a
// window is withdrawn, so callers apply it again each time the window is shown). Does nothing
// off X11.
void setShownInTaskbar(QWidget* window, bool shown);

} // namespace tavlin::qt
