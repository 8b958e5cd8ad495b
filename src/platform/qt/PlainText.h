#pragma once

#include <QtCore/QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace tavlin::qt {

// Texts that come from a file, a message or the user are shown as written, never as markup. Qt
// takes a text that merely looks like HTML (Qt::AutoText, the default of labels, message boxes and
// every tool tip) as rich text, and rich text loads the images it names: a path such as
// <img src="/dev/zero"> fills memory as soon as it is shown.

// A label that shows its text as written.
QLabel* plainLabel(const QString& text, QWidget* parent = nullptr);
// Sets every text of the box to plain text; call it once the texts are set (the informative text's
// label is only made by setInformativeText).
void showPlainText(QMessageBox& box);
// A tool tip's text (also for Qt::ToolTipRole): tool tips always guess the format, so a text Qt
// would take for markup is handed over escaped.
QString toolTipText(const QString& text);

} // namespace tavlin::qt
