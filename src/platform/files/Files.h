#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
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
    // notAFile: a folder, or anything else that is not a regular file (a FIFO, a device, a socket).
    enum class Kind { noSuchFile, noPermission, notAFile, tooLarge, other };
    FileError(Kind kind, std::filesystem::path path, std::string localizedDescription);

    Kind kind() const { return kind_; }
    const std::filesystem::path& path() const { return path_; }
    const std::string& localizedDescription() const { return localizedDescription_; }

    // The error for a file over `limit` bytes: read ("open"), or about to be written ("save").
    static FileError tooLarge(const std::filesystem::path& path, std::uint64_t limit, std::string_view operation);
    // The error for an errno value from an operation on `path`.
    static FileError fromErrno(int error, const std::filesystem::path& path, std::string_view operation);

private:
    Kind kind_;
    std::filesystem::path path_;
    std::string localizedDescription_;
};

namespace files {

// The most the program reads of one file. Files are read whole into memory, so a device, an
// endless or a huge file must be refused before it is read; both limits are far above any
// real file of their kind (a configuration generated from 10,000 rows is about 80 MB).
inline constexpr std::uint64_t maximumConfigurationFileSize = std::uint64_t{128} << 20;
inline constexpr std::uint64_t maximumDefaultsFileSize = std::uint64_t{32} << 20;

// What tells one version of a file from another without reading it: a replaced file has another
// inode, a file changed in place another size or change time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::timespec modified{};
    std::timespec changed{};

    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
               a.modified.tv_nsec == b.modified.tv_nsec && a.changed.tv_sec == b.changed.tv_sec &&
               a.changed.tv_nsec == b.changed.tv_nsec;
    }
};

// The identity of what the path names now (links followed); nothing when it cannot be known.
std::optional<FileIdentity> identity(const std::filesystem::path& path);

struct FileContents {
    std::string bytes;
    FileIdentity identity; // of the file the bytes were read from
};

// $XDG_DATA_HOME, else ~/.local/share; nothing when neither can be known.
std::optional<std::filesystem::path> applicationSupportDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::optional<std::filesystem::path> configDirectory();
// $XDG_CACHE_HOME, else ~/.cache: what can be made again from other files.
std::optional<std::filesystem::path> cacheDirectory();
// The folder from which the user's scripts run, created when missing:
// <application support>/local.tavlin/scripts.
std::optional<std::filesystem::path> applicationScriptsDirectory();

bool exists(const std::filesystem::path& path);
// Reads the whole file, which must be a regular file of at most `limit` bytes. Never blocks on a
// FIFO or a device: they are refused (notAFile) without waiting, as is a file over the limit
// (tooLarge). Throws FileError.
std::string readFile(const std::filesystem::path& path, std::uint64_t limit);
// At most the first `count` bytes of a regular file, whatever its size. Throws FileError.
std::string readBeginning(const std::filesystem::path& path, std::size_t count);
// The same, with the identity of the file that was read.
FileContents readRegularFile(const std::filesystem::path& path, std::uint64_t limit);
// Whether the regular file holds exactly the bytes `produce` makes, compared as they are made,
// never held whole; the identity of the file compared when it does. Throws FileError.
std::optional<FileIdentity> identityIfHolding(const std::filesystem::path& path,
                                              const std::function<void(const std::function<void(std::string_view)>&)>& produce);
// Writes the bytes to a temporary file in the same folder, flushes it to disk and renames it over
// the destination, so that readers see the old or the new content, never a part. Creates the
// parent folder (with intermediate folders) when it is missing. Answers the written file's
// identity as it is once in place, taken from the file itself rather than the path, which
// another program may have replaced since (nothing when it cannot be had). Throws FileError.
std::optional<FileIdentity> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Appends bytes to a file being written.
using AppendBytes = std::function<void(std::string_view)>;
// The same for bytes made as they are written: `produce` is called once, with the function that
// appends them to the file.
std::optional<FileIdentity> writeFileAtomically(const std::filesystem::path& path,
                                                const std::function<void(const AppendBytes&)>& produce);
// Creates the folder and its missing parents, each readable only by the user (0700) whatever the
// umask. Throws FileError.
void createDirectories(const std::filesystem::path& path);
// Copies `source`, which must be a regular file, over `destination`, replacing it. Throws FileError.
void copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination);

// Removes the temporary files that writes to "<name><extension>" files in `folder` leave when
// they are cut short (a kill, a power loss), and only those: plain files named as our atomic
// writes name them, not modified for `olderThan`. Answers how many were removed.
std::size_t removeStaleTemporaryFiles(const std::filesystem::path& folder, std::string_view extension,
                                      std::chrono::seconds olderThan);

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
