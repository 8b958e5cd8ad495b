#pragma once

#include <functional>

#include "shortcutkit/Name.h"

class QWidget;

namespace tavlin::shortcutkit {

// Runs the callback on the main thread for every press and release of the name's shortcut
// while the widget lives.
void onKeyboardShortcut(QWidget* widget, const Name& name, std::function<void(EventType)> perform);
// The same for one type of event.
void onKeyboardShortcut(QWidget* widget, const Name& name, EventType type, std::function<void()> perform);

} // namespace tavlin::shortcutkit
