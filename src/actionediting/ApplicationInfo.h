#pragma once

#include <optional>
#include <string>

#include <QIcon>
#include <QString>

#include "platform/linux/ApplicationCatalog.h"

// Names and icons of applications and other files, as lists of applications show them. An
// application is its desktop entry. Only regular files and folders are ever opened: reading a
// FIFO or a device would block.
namespace tavlin::ApplicationInfo {

// A desktop entry's Name (in the user's language when it has one, as GIO reads it), else the
// file name.
QString name(const std::string& path);
// A desktop entry's Icon from the theme (or its file, when it names one), other files by their
// kind; the generic application icon when there is none.
QIcon icon(const std::string& path);

// The desktop entry at `path`, read as it is; nothing for another file, or one that does not read.
std::optional<xdg::ApplicationCatalog::Entry> entry(const std::string& path);

// The same for an entry already read.
QString nameForEntry(const xdg::ApplicationCatalog::Entry& entry);
QIcon iconForEntry(const xdg::ApplicationCatalog::Entry& entry);

} // namespace tavlin::ApplicationInfo
