#pragma once

#include <QtCore/QString>

class QLineEdit;

namespace tavlin::qt {

// The width a single-line field needs to show `text` whole in its own font: its frame and
// margins as Qt sizes a field, and room for one icon beside the text (a clear button).
int fieldWidthFor(const QLineEdit& field, const QString& text);

// Keeps a field at least as wide as its placeholder, so that the hint is never cut short.
void keepPlaceholderWhole(QLineEdit& field);

} // namespace tavlin::qt
