#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavlin {

inline constexpr std::string_view bundleIdentifier = "local.tavlin";

// A failed file operation, with a sentence for alerts that names the file.
class FileError : public std::runtime_error {
public:
    enum class Kind { noSuchFile, noPermission, notAFile, other };
    FileError(Kind kind, std::filesystem::path path, std::string localizedDescription);

    Kind kind() const { return kind_; }
    const std::filesystem::path& path() const { return path_; }
    const std::string& localizedDescription() const { return localizedDescription_; }

    // The error for an errno value from an operation on `path`.
    static FileError fromErrno(int error, const std::filesystem::path& path, std::string_view operation);

private:
    Kind kind_;
    std::filesystem::path path_;
    std::string localizedDescription_;
};

namespace files {

// $XDG_DATA_HOME, else ~/.local/share; nothing when neither can be known.
std::optional<std::filesystem::path> applicationSupportDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::optional<std::filesystem::path> configDirectory();
// The folder from which the user's scripts run, created when missing:
// <application support>/local.tavlin/scripts.
std::optional<std::filesystem::path> applicationScriptsDirectory();

bool exists(const std::filesystem::path& path);
// Reads the whole file. Throws FileError.
std::string readFile(const std::filesystem::path& path);
// Writes the bytes to a temporary file in the same folder, flushes it to disk and renames it over
// the destination, so that readers see the old or the new content, never a part. Creates the
// parent folder (with intermediate folders) when it is missing. Throws FileError.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Appends bytes to a file being written.
using AppendBytes = std::function<void(std::string_view)>;
// The same for bytes made as they are written: `produce` is called once, with the function that
// appends them to the file.
void writeFileAtomically(const std::filesystem::path& path, const std::function<void(const AppendBytes&)>& produce);
// Creates the folder and its missing parents. Throws FileError.
void createDirectories(const std::filesystem::path& path);
// Copies `source` over `destination`, replacing it. Throws FileError.
void copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination);

// "2024-03-05_14-03-07.250+0100": the time in the local time zone, with milliseconds and offset.
std::string backupTimestamp(std::chrono::system_clock::time_point time);

// Test seam: while one lives, every atomic write fails at `step` with the errno value `error`, as a
// full disk or a refused rename would, so tests can check that the old file survives.
class InjectedWriteFailure {
public:
    enum class Step { flush, rename };
    InjectedWriteFailure(Step step, int error);
    ~InjectedWriteFailure();
    InjectedWriteFailure(const InjectedWriteFailure&) = delete;
    InjectedWriteFailure& operator=(const InjectedWriteFailure&) = delete;
};

} // namespace files
} // namespace tavlin
