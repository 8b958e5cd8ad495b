#pragma once

#include <string>

#include <QIcon>
#include <QPixmap>

class QWidget;

namespace tavlin::flateditor {

// The property under which a widget keeps the symbol name it shows.
inline constexpr const char* symbolNameProperty = "symbolName";

// The icon for a symbol name: the desktop theme's icon for it when there is one, else ours.
QIcon symbolIcon(const std::string& name);
// Shows the symbol on the widget (a button's icon) and keeps its name in the property.
void setSymbol(QWidget* widget, const std::string& name);

// The pixmap without colour.
QPixmap grayscale(const QPixmap& pixmap);

} // namespace tavlin::flateditor
