#include "flateditor/ChooserPanels.h"

#include <cstdlib>
#include <sstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/FileHelper.h"
#include "platform/linux/DesktopEntry.h"

namespace tavlin::flateditor {
namespace {

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

// stat, not a status call that might open: a FIFO or device must never be touched.
bool isExecutableRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<ChooserSettings> chooserSettings(RowComposeSheet::PathChooserKind kind) {
    using Kind = RowComposeSheet::PathChooserKind;
    ChooserSettings settings;
    switch (kind) {
    case Kind::file:
        settings.title = "Choose File";
        settings.defaultFolder = homeFolder();
        break;
    case Kind::folder:
        settings.title = "Choose Folder";
        settings.canChooseFiles = false;
        settings.canChooseDirectories = true;
        settings.defaultFolder = homeFolder();
        break;
    case Kind::application:
        settings.title = "Choose Application";
        settings.offered = ChooserSettings::Offered::desktopEntriesAndExecutables;
        settings.defaultFolder = systemApplicationsFolder();
        break;
    case Kind::appleScript: {
        const auto scripts = FileHelper::applicationScriptsDirectory();
        if (!scripts) return std::nullopt;
        settings.title = "Choose AppleScript";
        // What the action runs here is an executable in that folder.
        settings.offered = ChooserSettings::Offered::executables;
        settings.defaultFolder = *scripts;
        settings.message = "AppleScript files must be in " + scripts->string();
        break;
    }
    case Kind::executableFile:
        settings.title = "Choose Executable File";
        settings.defaultFolder = "/";
        break;
    }
    return settings;
}

std::optional<std::filesystem::path> chooserFolder(const std::optional<std::string>& folderURL) {
    if (!folderURL) return std::nullopt;
    const auto path = xdg::localPathOfFileUrl(*folderURL);
    if (!path || path->empty()) return std::nullopt;
    std::string folder = *path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return std::filesystem::path(folder);
}

std::filesystem::path systemApplicationsFolder() {
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    std::string dir;
    while (std::getline(list, dir, ':')) {
        if (dir.empty() || dir.front() != '/') continue;
        const auto folder = std::filesystem::path(dir) / "applications";
        if (isFolder(folder.string())) return folder;
    }
    return xdg::applicationDirectories().empty() ? homeFolder() : xdg::applicationDirectories().front();
}

OpenPanel::Configuration openPanelConfiguration(const ChooserSettings& settings,
                                                const std::optional<std::filesystem::path>& folder) {
    OpenPanel::Configuration configuration;
    configuration.canChooseFiles = settings.canChooseFiles;
    configuration.canChooseDirectories = settings.canChooseDirectories;
    configuration.title = settings.title;
    configuration.message = settings.message;
    configuration.prompt = settings.prompt;
    configuration.showsHiddenFiles = settings.showsHiddenFiles;
    configuration.extensionHidden = settings.extensionHidden;
    configuration.canCreateDirectories = settings.canCreateDirectories;
    configuration.directoryURL = FileUrl(folder ? folder->string() : settings.defaultFolder.string(), true);
    return configuration;
}

bool ChooserPanelDelegate::shouldEnable(const FileUrl& url) {
    const std::string& path = url.path();
    if (isFolder(path)) return true;
    switch (offered_) {
    case ChooserSettings::Offered::anyFile: return true;
    case ChooserSettings::Offered::executables: return isExecutableRegularFile(path);
    case ChooserSettings::Offered::desktopEntriesAndExecutables:
        return (path.size() > 8 && path.ends_with(".desktop")) || isExecutableRegularFile(path);
    }
    return false;
}

std::optional<std::string> ChooserPanelDelegate::validate(const FileUrl&) { return std::nullopt; }

} // namespace tavlin::flateditor
