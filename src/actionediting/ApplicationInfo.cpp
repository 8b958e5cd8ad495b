#include "actionediting/ApplicationInfo.h"

#include <filesystem>

#include <sys/stat.h>

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QStyle>

namespace tavlin::ApplicationInfo {
namespace {

enum class FileKind { missing, regular, folder, other };

FileKind kindOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return FileKind::missing;
    if (S_ISREG(info.st_mode)) return FileKind::regular;
    if (S_ISDIR(info.st_mode)) return FileKind::folder;
    return FileKind::other;
}

bool isDesktopEntryPath(const std::string& path) { return path.size() > 8 && path.ends_with(".desktop"); }

std::optional<xdg::ApplicationCatalog::Entry> entryAt(const std::string& path) {
    if (!isDesktopEntryPath(path)) return std::nullopt;
    return xdg::ApplicationCatalog::readFile(path);
}

QString fileName(const std::string& path) {
    const auto name = std::filesystem::path(path).filename().string();
    return QString::fromStdString(name.empty() ? path : name);
}

// The theme's, or the style's plain file where no theme has one: never nothing.
QIcon generic() {
    return QIcon::fromTheme(QStringLiteral("application-x-executable"), QApplication::style()->standardIcon(QStyle::SP_FileIcon));
}

} // namespace

QString nameForEntry(const xdg::ApplicationCatalog::Entry& entry) {
    if (!entry.name.empty()) return QString::fromStdString(entry.name);
    return fileName(entry.path.string());
}

QIcon iconForEntry(const xdg::ApplicationCatalog::Entry& entry) {
    if (entry.icon.empty()) return generic();
    if (entry.icon.front() == '/')
        return kindOf(entry.icon) == FileKind::regular ? QIcon(QString::fromStdString(entry.icon)) : generic();
    const QIcon themed = QIcon::fromTheme(QString::fromStdString(entry.icon));
    return themed.isNull() ? generic() : themed;
}

std::optional<xdg::ApplicationCatalog::Entry> entry(const std::string& path) { return entryAt(path); }

QString name(const std::string& path) {
    if (const auto entry = entryAt(path)) return nameForEntry(*entry);
    return fileName(path);
}

QIcon icon(const std::string& path) {
    if (isDesktopEntryPath(path)) {
        const auto entry = entryAt(path);
        return entry ? iconForEntry(*entry) : generic();
    }
    const FileKind kind = kindOf(path);
    if (kind == FileKind::regular || kind == FileKind::folder) {
        const QFileIconProvider provider;
        return provider.icon(QFileInfo(QString::fromStdString(path)));
    }
    return generic();
}

} // namespace tavlin::ApplicationInfo
