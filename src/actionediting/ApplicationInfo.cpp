#include "actionediting/ApplicationInfo.h"

#include <cstdlib>
#include <filesystem>

#include <sys/stat.h>

#include <QFileIconProvider>
#include <QFileInfo>

#include "platform/linux/DesktopEntry.h"

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

std::optional<xdg::DesktopEntry> entryAt(const std::string& path) {
    if (!isDesktopEntryPath(path) || kindOf(path) != FileKind::regular) return std::nullopt;
    return xdg::readDesktopEntry(path);
}

// The locales the user reads, most specific first: "pt_BR.UTF-8@x" gives pt_BR@x, pt_BR, pt@x, pt.
std::vector<std::string> userLocales() {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string value;
    for (const char* name : names) {
        if (const char* v = std::getenv(name); v && *v) {
            value = v;
            break;
        }
    }
    if (value.empty() || value == "C" || value == "POSIX") return {};
    std::string modifier;
    if (const auto at = value.find('@'); at != std::string::npos) {
        modifier = value.substr(at);
        value.erase(at);
    }
    if (const auto dot = value.find('.'); dot != std::string::npos) value.erase(dot);
    std::vector<std::string> locales;
    const auto underscore = value.find('_');
    const std::string language = value.substr(0, underscore);
    if (!modifier.empty()) locales.push_back(value + modifier);
    locales.push_back(value);
    if (underscore != std::string::npos) {
        if (!modifier.empty()) locales.push_back(language + modifier);
        locales.push_back(language);
    }
    return locales;
}

QString fileName(const std::string& path) {
    const auto name = std::filesystem::path(path).filename().string();
    return QString::fromStdString(name.empty() ? path : name);
}

QIcon generic() { return QIcon::fromTheme(QStringLiteral("application-x-executable")); }

} // namespace

QString nameForEntry(const xdg::DesktopEntry& entry) {
    for (const auto& locale : userLocales()) {
        const auto found = entry.localizedNames.find(locale);
        if (found != entry.localizedNames.end() && !found->second.empty()) return QString::fromStdString(found->second);
    }
    if (!entry.name.empty()) return QString::fromStdString(entry.name);
    return fileName(entry.path.string());
}

QIcon iconForEntry(const xdg::DesktopEntry& entry) {
    if (entry.icon.empty()) return generic();
    if (entry.icon.front() == '/')
        return kindOf(entry.icon) == FileKind::regular ? QIcon(QString::fromStdString(entry.icon)) : generic();
    const QIcon themed = QIcon::fromTheme(QString::fromStdString(entry.icon));
    return themed.isNull() ? generic() : themed;
}

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
