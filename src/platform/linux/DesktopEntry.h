#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Applications on the Linux desktop are desktop entries (.desktop files). This is the part of
// the desktop-entry rules the workspace needs: reading the [Desktop Entry] group, building
// command lines from Exec, and finding entries by their desktop-file id.
namespace tavlin::xdg {

struct DesktopEntry {
    std::filesystem::path path;
    // The desktop-file id without ".desktop" ("org.gnome.Nautilus", "kde4-kate" for
    // kde4/kate.desktop). A file outside the applications folders has no real id; its file name
    // without ".desktop" stands in.
    std::string id;
    std::string type;
    std::string name;
    std::string icon;
    std::string exec;
    std::string tryExec;
    std::string workingDirectory; // the Path key
    std::string startupWMClass;
    bool noDisplay = false; // NoDisplay=true: installed, but not for menus and lists
    bool hidden = false;    // Hidden=true: as good as deleted
    // Name[locale] values by their locale ("de", "pt_BR", "sr@latin").
    std::map<std::string, std::string> localizedNames;

    // What the user sees: Name, else the file name without ".desktop".
    std::string displayName() const;
};

// Reads the [Desktop Entry] group of the text. Nothing when the text has no such group.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, const std::filesystem::path& path);
// Nothing when the file cannot be read, is unreasonably large or is not a desktop entry.
std::optional<DesktopEntry> readDesktopEntry(const std::filesystem::path& path);

// The words of an Exec value after the desktop-entry quoting rules, with no field code expanded.
// Nothing when the quoting is broken.
std::optional<std::vector<std::string>> splitExec(std::string_view exec);

// Command lines that open `items` with the entry, or the sentence saying why it cannot.
// Items are URLs ("scheme:...") or absolute paths; %f/%F take local files (a file URL becomes
// its path), %u/%U take them as given. %f and %u open one item per command line, so several
// items give several command lines. A field code that takes items must be an argument on its
// own, so an item is never spliced into a larger text (such as the script of "sh -c").
// Without any such field code the items are appended (file URLs as paths).
struct CommandLines {
    std::vector<std::vector<std::string>> argvs;
    std::optional<std::string> error;
};
CommandLines commandLinesFor(const DesktopEntry& entry, const std::vector<std::string>& items);
// The same for a program that is no desktop entry: the items are appended.
CommandLines commandLinesForExecutable(const std::string& program, const std::string& displayName,
                                       const std::vector<std::string>& items);

// The local path a file URL names ("file:///a%20b" gives "/a b"; host empty or "localhost").
// Nothing for other URLs, remote hosts or a path with NUL.
std::optional<std::string> localPathOfFileUrl(std::string_view url);

// `program` as the system would run it: a name without "/" is looked up in PATH (empty entries,
// which would mean the current folder, are skipped); the result must be an executable regular
// file. Symbolic links are resolved, so it compares with /proc/<pid>/exe.
std::optional<std::filesystem::path> resolveExecutable(const std::string& program);
// The program the entry's Exec runs, resolved as above.
std::optional<std::filesystem::path> executableOfEntry(const DesktopEntry& entry);
// Whether TryExec, when present, names an installed program.
bool isInstalled(const DesktopEntry& entry);

// The applications folders in order of precedence: $XDG_DATA_HOME (else ~/.local/share), then
// each of $XDG_DATA_DIRS (else /usr/local/share:/usr/share); relative entries are ignored.
std::vector<std::filesystem::path> applicationDirectories();

// The installed entries, read once: for each desktop-file id the entry of highest precedence.
// Entries whose TryExec names no installed program are left out.
class DesktopEntryCatalog {
public:
    static DesktopEntryCatalog scan();
    static DesktopEntryCatalog scan(const std::vector<std::filesystem::path>& directories);

    // By desktop-file id, with or without ".desktop".
    const DesktopEntry* find(std::string_view id) const;
    // In order of precedence.
    const std::vector<DesktopEntry>& entries() const { return entries_; }

private:
    std::vector<DesktopEntry> entries_;
};

} // namespace tavlin::xdg
