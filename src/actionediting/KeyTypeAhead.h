#pragma once

class QComboBox;

namespace tavlin {

// Typing into a key picker, whose items hold their key codes (Qt::UserRole; none for a prompt),
// open or closed: the key of that very name comes first ("F" is F, "f1" F1), then the first
// whose name starts with what was typed; keys a PC keyboard lacks (F17 to F20) come after the
// others. The same letter again steps through the names it starts, as lists do. Its filters
// see the keys after those installed later.
void installKeyTypeAhead(QComboBox& picker);

} // namespace tavlin
