#pragma once

#include <optional>

#include <QKeySequence>

#include "shortcutkit/Name.h"

class QAction;

namespace tavlin::shortcutkit {

// The key sequence of a shortcut. Space, Return, Tab, Escape, the editing and navigation keys,
// arrows and F-keys are named by their key code; other keys by what the current layout types
// for them. Empty when the key has neither.
QKeySequence keySequence(const Shortcut& shortcut);

// Gives the action the shortcut's key sequence, or none. Called off the main thread, it runs on
// the main thread later.
void applyShortcut(QAction* action, const std::optional<Shortcut>& shortcut);
// Keeps the action's key sequence equal to the name's stored shortcut until it is bound again
// or destroyed; no name clears it and ends the binding.
void setShortcut(QAction* action, const std::optional<Name>& name);

} // namespace tavlin::shortcutkit
