#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavlin {

// What a path row of an action sheet asks the user to choose.
enum class PathChooserKind { file, folder, application, appleScript, executable };

// The panel a path row opens.
struct PathChooserSettings {
    std::string title;
    std::optional<std::filesystem::path> startFolder;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    std::optional<std::string> message;
    // Common to every kind.
    std::string prompt = "Choose";
    std::string nameFieldLabel = "Choose:";
    bool showsHiddenFiles = true;
    bool canCreateDirectories = true;
    bool extensionHidden = true;
};

// The start folder of the script kind is nothing when the application-scripts folder cannot be
// had; the application kind's settings are those of the list's "Other…" panel.
PathChooserSettings pathChooserSettings(PathChooserKind kind);

// The folder a caller asks the panel to open in: only a file URL counts.
std::optional<std::filesystem::path> chooserFolder(const std::optional<std::string>& folderURL);

// The folder applications are chosen from: the first "applications" folder of the data folders
// ($XDG_DATA_DIRS, by default /usr/local/share and /usr/share) that exists, else the user's own.
std::optional<std::filesystem::path> applicationsFolder();

// Whether the panel offers the item: folders always (to open them); files by the kind's content
// type. Applications are desktop entries or executable files; scripts are executable files.
bool pathChooserOffers(PathChooserKind kind, const std::filesystem::path& path);
// Why a choice is refused, or nothing. A path that is not UTF-8 text could not be stored as it is.
std::optional<std::string> pathChooserRefusal(PathChooserKind kind, const std::filesystem::path& path);

} // namespace tavlin
