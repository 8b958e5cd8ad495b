#include "shortcutkit/qt/KeyEventShortcut.h"

#include <QKeyEvent>

#include "platform/keys/KeyboardEvents.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::shortcutkit {

std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::MetaModifier) flags |= eventFlags::command;
    if (modifiers & Qt::AltModifier) flags |= eventFlags::option;
    if (modifiers & Qt::ControlModifier) flags |= eventFlags::control;
    if (modifiers & Qt::ShiftModifier) flags |= eventFlags::shift;
    return flags;
}

std::optional<Shortcut> shortcutFromKeyEvent(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease) return std::nullopt;
    const auto keyCode = keycodes::virtualKeyCode(event.nativeScanCode());
    if (!keyCode) return std::nullopt;
    return Shortcut(*keyCode, carbonModifiers(modifierFlags(event.modifiers())));
}

} // namespace tavlin::shortcutkit
