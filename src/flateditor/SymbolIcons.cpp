#include "flateditor/SymbolIcons.h"

#include <QAbstractButton>
#include <QImage>

// Outside any namespace: the macro declares the resource's registration function.
static void initResources() { Q_INIT_RESOURCE(flateditor); }

namespace tavlin::flateditor {
namespace {

// Theme names for the symbols the desktop has its own icon for.
const char* themeName(const std::string& name) {
    if (name == "plus") return "list-add";
    if (name == "minus") return "list-remove";
    if (name == "square.and.pencil") return "document-edit";
    if (name == "doc.on.doc") return "edit-copy";
    if (name == "xmark.circle.fill") return "edit-delete";
    return nullptr;
}

} // namespace

QIcon symbolIcon(const std::string& name) {
    static const bool registered = (initResources(), true);
    (void)registered;
    QIcon bundled(QStringLiteral(":/flateditor/icons/") + QString::fromStdString(name) + QStringLiteral(".svg"));
    if (const char* theme = themeName(name)) return QIcon::fromTheme(QLatin1String(theme), bundled);
    return bundled;
}

void setSymbol(QWidget* widget, const std::string& name) {
    widget->setProperty(symbolNameProperty, QString::fromStdString(name));
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setIcon(symbolIcon(name));
}

QPixmap grayscale(const QPixmap& pixmap) {
    if (pixmap.isNull()) return pixmap;
    const QImage image = pixmap.toImage();
    // Grey levels, with the transparency of the original kept.
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_ARGB32);
    if (image.hasAlphaChannel()) grey.setAlphaChannel(image.convertToFormat(QImage::Format_Alpha8));
    QPixmap result = QPixmap::fromImage(grey);
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    return result;
}

} // namespace tavlin::flateditor
