#include "actionediting/core/PathChooserSettings.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "model/FileHelper.h"
#include "platform/linux/XdgPaths.h"
#include "platform/text/PeopleWords.h"
#include "platform/text/Utf8.h"

namespace tavlin {

namespace {

namespace fs = std::filesystem;

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

bool isDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool isExecutableFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

bool isDesktopEntry(const fs::path& path) {
    std::error_code error;
    return path.extension() == ".desktop" && fs::is_regular_file(path, error);
}

bool hasContentType(PathChooserKind kind, const fs::path& path) {
    switch (kind) {
    case PathChooserKind::application: return isDesktopEntry(path) || isExecutableFile(path);
    case PathChooserKind::appleScript: return isExecutableFile(path);
    case PathChooserKind::file:
    case PathChooserKind::folder:
    case PathChooserKind::executable: return true;
    }
    return true;
}

} // namespace

std::optional<fs::path> applicationsFolder() {
    const char* variable = std::getenv("XDG_DATA_DIRS");
    std::string_view folders = variable && *variable ? variable : "/usr/local/share:/usr/share";
    while (!folders.empty()) {
        const auto end = folders.find(':');
        const auto folder = folders.substr(0, end);
        folders = end == std::string_view::npos ? std::string_view() : folders.substr(end + 1);
        if (folder.empty()) continue;
        const auto candidate = fs::path(folder) / "applications";
        if (isDirectory(candidate)) return candidate;
    }
    const auto& own = xdg::applicationDirectories();
    if (!own.empty()) return own.front();
    return std::nullopt;
}

std::optional<fs::path> chooserFolder(const std::optional<std::string>& folderURL) {
    if (!folderURL) return std::nullopt;
    const auto path = xdg::localPathOfFileUrl(*folderURL);
    if (!path || path->empty()) return std::nullopt;
    std::string folder = *path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return fs::path(folder);
}

PathChooserSettings pathChooserSettings(PathChooserKind kind) {
    PathChooserSettings settings;
    switch (kind) {
    case PathChooserKind::file:
        settings.title = "Choose File";
        settings.startFolder = homeFolder();
        break;
    case PathChooserKind::folder:
        settings.title = "Choose Folder";
        settings.startFolder = homeFolder();
        settings.canChooseFiles = false;
        settings.canChooseDirectories = true;
        break;
    case PathChooserKind::application:
        settings.title = "Choose Application";
        settings.startFolder = applicationsFolder();
        break;
    case PathChooserKind::appleScript: {
        settings.title = std::string(words::chooseScript);
        settings.startFolder = FileHelper::applicationScriptsDirectory();
        if (settings.startFolder) settings.message = std::string(words::scriptsFolderMessage) + settings.startFolder->string();
        break;
    }
    case PathChooserKind::executable:
        settings.title = "Choose Executable File";
        settings.startFolder = fs::path("/");
        break;
    }
    return settings;
}

bool pathChooserOffers(PathChooserKind kind, const fs::path& path) {
    if (isDirectory(path)) return true;
    return hasContentType(kind, path);
}

std::optional<std::string> pathChooserRefusal(PathChooserKind kind, const fs::path& path) {
    if (!utf8::isValid(path.native())) return "This path is not valid UTF-8 text and cannot be stored. Please rename the item.";
    if (!hasContentType(kind, path)) {
        return kind == PathChooserKind::application ? "Please choose an application: a desktop entry or an executable file."
                                                    : "Please choose an executable script file.";
    }
    return std::nullopt;
}

} // namespace tavlin
