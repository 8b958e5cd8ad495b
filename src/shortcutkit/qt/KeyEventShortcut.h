#pragma once

#include <cstdint>
#include <optional>

#include <Qt>

#include "shortcutkit/Keys.h"

class QKeyEvent;

namespace tavlin::shortcutkit {

// Event flags of Qt's modifiers: Meta is command, Alt option, Control control. The keypad and
// group-switch modifiers say nothing about a shortcut and are dropped.
std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers);

// The shortcut of a key press or release: the key by its X key code, so it is the same key
// under every layout; nothing for other events or a key outside the key table.
std::optional<Shortcut> shortcutFromKeyEvent(const QKeyEvent& event);

} // namespace tavlin::shortcutkit
