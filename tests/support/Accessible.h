#pragma once

#include <QtCore/QStringList>
#include <QtGui/QAccessible>
#include <QtWidgets/QWidget>

namespace tavlin::test {

// What a screen reader meets: the interface Qt's accessibility bridge hands out.
inline QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

// The names of what labels `widget`: its labels, and the title of a group box around it.
inline QStringList labelNames(QWidget* widget) {
    QStringList names;
    for (const auto& related : accessible(widget)->relations(QAccessible::Label)) names << related.first->text(QAccessible::Name);
    return names;
}

} // namespace tavlin::test
