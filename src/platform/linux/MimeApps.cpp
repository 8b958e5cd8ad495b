#include "platform/linux/MimeApps.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "platform/Files.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

// Lists are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t maximumListSize = 4 << 20;

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiLowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), asciiLower);
    return lowered;
}

bool isScheme(std::string_view text) {
    return !text.empty() && isAsciiLetter(text[0]) && std::all_of(text.begin() + 1, text.end(), [](char c) {
        return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    });
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string_view withoutDesktopSuffix(std::string_view id) {
    constexpr std::string_view suffix = ".desktop";
    if (id.size() >= suffix.size() && id.substr(id.size() - suffix.size()) == suffix) id.remove_suffix(suffix.size());
    return id;
}

// The absolute folders of a colon-separated variable; `fallback` when it is unset or empty.
// Relative entries are ignored, as the base-directory rules say.
std::vector<fs::path> foldersOf(const char* variable, std::string_view fallback) {
    const char* value = std::getenv(variable);
    const std::string_view list = value && *value ? value : fallback;
    std::vector<fs::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        auto end = list.find(':', start);
        if (end == std::string_view::npos) end = list.size();
        const fs::path folder(list.substr(start, end - start));
        start = end + 1;
        if (folder.is_absolute()) folders.push_back(folder);
    }
    return folders;
}

// The names of $XDG_CURRENT_DESKTOP in lower case. A name with "/" would point the list's path
// into another folder, so it is not one.
std::vector<std::string> currentDesktops() {
    std::vector<std::string> desktops;
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string_view list = value ? value : "";
    std::size_t start = 0;
    while (start < list.size()) {
        auto end = list.find(':', start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view name = list.substr(start, end - start);
        start = end + 1;
        if (!name.empty() && name.find('/') == std::string_view::npos) desktops.push_back(asciiLowered(name));
    }
    return desktops;
}

std::vector<fs::path> mimeAppsLists() {
    std::vector<fs::path> folders;
    if (const auto config = files::configDirectory()) folders.push_back(*config);
    for (auto& folder : foldersOf("XDG_CONFIG_DIRS", "/etc/xdg")) folders.push_back(std::move(folder));
    for (auto& folder : applicationDirectories()) folders.push_back(std::move(folder));

    const auto desktops = currentDesktops();
    std::vector<fs::path> lists;
    for (const auto& folder : folders) {
        for (const auto& desktop : desktops) lists.push_back(folder / (desktop + "-mimeapps.list"));
        lists.push_back(folder / "mimeapps.list");
    }
    return lists;
}

// What one list says about one type.
struct Associations {
    std::vector<std::string> defaults;
    std::vector<std::string> added;
    std::vector<std::string> removed;
};

std::vector<std::string> idsOf(std::string_view value) {
    std::vector<std::string> ids;
    std::size_t start = 0;
    while (start <= value.size()) {
        auto end = value.find(';', start);
        if (end == std::string_view::npos) end = value.size();
        const std::string_view id = trimmed(value.substr(start, end - start));
        start = end + 1;
        if (!id.empty()) ids.emplace_back(id);
    }
    return ids;
}

// Nothing is read from a list that is missing, unreadable or not a regular file. Types are
// matched ignoring ASCII case; when a group repeats a key, the first value counts.
Associations associationsIn(const fs::path& list, std::string_view lowerCaseType) {
    Associations associations;
    std::string text;
    try {
        text = files::readFile(list, maximumListSize);
    } catch (const FileError&) {
        return associations;
    }

    std::vector<std::string>* group = nullptr;
    std::set<const std::vector<std::string>*> answered;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::string_view name = line.back() == ']' ? line.substr(1, line.size() - 2) : std::string_view{};
            group = name == "Default Applications"   ? &associations.defaults
                    : name == "Added Associations"   ? &associations.added
                    : name == "Removed Associations" ? &associations.removed
                                                     : nullptr;
            continue;
        }
        const auto equals = line.find('=');
        if (!group || equals == std::string_view::npos) continue;
        if (asciiLowered(trimmed(line.substr(0, equals))) != lowerCaseType) continue;
        if (!answered.insert(group).second) continue;
        auto ids = idsOf(line.substr(equals + 1));
        group->insert(group->end(), std::make_move_iterator(ids.begin()), std::make_move_iterator(ids.end()));
    }
    return associations;
}

} // namespace

std::optional<std::string> defaultDesktopEntryIdForScheme(std::string_view scheme, const DesktopEntryCatalog& catalog) {
    if (!isScheme(scheme)) return std::nullopt;
    const std::string type = "x-scheme-handler/" + asciiLowered(scheme);
    std::vector<Associations> lists;
    for (const auto& list : mimeAppsLists()) lists.push_back(associationsIn(list, type));

    for (const auto& associations : lists) {
        for (const auto& id : associations.defaults) {
            if (const DesktopEntry* entry = catalog.find(id)) return entry->id;
        }
    }
    // A removal covers the additions of its own list and of the lists below it.
    std::set<std::string, std::less<>> removed;
    for (const auto& associations : lists) {
        for (const auto& id : associations.removed) removed.emplace(withoutDesktopSuffix(id));
        for (const auto& id : associations.added) {
            if (removed.contains(withoutDesktopSuffix(id))) continue;
            if (const DesktopEntry* entry = catalog.find(id)) return entry->id;
        }
    }
    return std::nullopt;
}

std::optional<std::string> defaultDesktopEntryIdForScheme(std::string_view scheme) {
    // Reading every entry is the costly part; a malformed scheme needs none of it.
    if (!isScheme(scheme)) return std::nullopt;
    return defaultDesktopEntryIdForScheme(scheme, DesktopEntryCatalog::scan());
}

} // namespace tavlin::xdg
