#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Paths on the Linux desktop that GIO does not answer as we need them. Desktop entries
// themselves are GIO's (ApplicationCatalog). g_find_program_in_path neither resolves links
// (a window's process is known by /proc/<pid>/exe, the real file) nor skips the empty PATH
// entries that mean the current folder; the actions store file URLs that the Qt-free core
// turns into paths; and the choosers start in the applications folders, which GIO does not
// name.
namespace tavlin::xdg {

// Whether the text starts with a URL scheme and a colon (a letter, then letters, digits, "+",
// "-", "."): never a path, nor an "-option".
bool isUrl(std::string_view text);

// The local path a file URL names ("file:///a%20b" gives "/a b"; host empty or "localhost").
// Nothing for other URLs, remote hosts or a path with NUL.
std::optional<std::string> localPathOfFileUrl(std::string_view url);

// `program` as the system would run it: a name without "/" is looked up in PATH (empty entries,
// which would mean the current folder, are skipped); the result must be an executable regular
// file. Symbolic links are resolved, so it compares with /proc/<pid>/exe.
std::optional<std::filesystem::path> resolveExecutable(const std::string& program);

// The applications folders in order of precedence: $XDG_DATA_HOME (else ~/.local/share), then
// each of $XDG_DATA_DIRS (else /usr/local/share:/usr/share); relative entries are ignored.
std::vector<std::filesystem::path> applicationDirectories();

} // namespace tavlin::xdg
