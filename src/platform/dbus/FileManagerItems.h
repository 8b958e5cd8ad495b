#pragma once

#include <string>

class QDBusConnection;

namespace tavlin {

// Asks the desktop's file manager on the session bus (org.freedesktop.FileManager1) to show the
// item selected. False, and nothing sent, when no program owns that name.
bool showItemsInFileManager(QDBusConnection& connection, const std::string& fileURI);

} // namespace tavlin
