#include "platform/files/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavlin {
namespace {

namespace fs = std::filesystem;

// How an operation reads in a sentence: "couldn’t be <participle>", "permission to <verb>".
struct OperationWords {
    std::string_view verb;
    std::string_view participle;
    std::string_view noun;
    bool writes;
};

OperationWords wordsFor(std::string_view operation) {
    if (operation == "open" || operation == "read") return {"view", "opened", "file", false};
    if (operation == "save" || operation == "write") return {"save", "saved", "file", true};
    if (operation == "copy") return {"copy", "copied", "file", true};
    if (operation == "create") return {"create", "created", "folder", true};
    return {"access", "accessed", "file", false};
}

std::string quoted(const fs::path& path) {
    std::string name = path.filename().string();
    if (name.empty()) name = path.parent_path().filename().string();
    if (name.empty()) name = path.string();
    return "“" + name + "”";
}

std::string folderOf(const fs::path& path) {
    fs::path folder = path.parent_path();
    if (path.filename().empty()) folder = folder.parent_path();
    return quoted(folder.empty() ? fs::path(".") : folder);
}

std::string systemMessage(int error) { return std::error_code(error, std::generic_category()).message(); }

std::optional<fs::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    fs::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

std::optional<fs::path> homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return fs::path(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && *result->pw_dir != '\0') {
        return fs::path(result->pw_dir);
    }
    return std::nullopt;
}

std::optional<fs::path> xdgDirectory(const char* variable, const char* fallbackUnderHome) {
    if (auto path = absoluteVariable(variable)) return path;
    if (auto home = homeDirectory()) return *home / fallbackUnderHome;
    return std::nullopt;
}

// umask() can only be read by changing it, which races with other threads; the kernel reports
// it in /proc instead.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

void writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            throw errno;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

    int get() const { return fd_; }
    // Closes now, so that a failed close (a late write error on some file systems) is seen.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// A temporary file is named ".<name>.XXXXXX" beside the file it replaces; mkostemp fills the X's
// with letters and digits.
constexpr std::string_view temporarySuffixPattern = ".XXXXXX";

bool isOurTemporaryName(std::string_view name, std::string_view extension) {
    constexpr std::size_t suffix = temporarySuffixPattern.size();
    if (name.size() < 1 + extension.size() + suffix || name.front() != '.') return false;
    const std::string_view random = name.substr(name.size() - suffix + 1);
    if (name[name.size() - suffix] != '.') return false;
    for (const char c : random) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    const std::string_view base = name.substr(1, name.size() - 1 - suffix);
    return base.size() > extension.size() && base.substr(base.size() - extension.size()) == extension;
}

files::FileIdentity identityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size), info.st_mtim, info.st_ctim};
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes) + " bytes";
}

FileError notARegularFile(const fs::path& path, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return FileError::fromErrno(EISDIR, path, "open");
    return {FileError::Kind::notAFile, path,
            "The file " + quoted(path) + " couldn’t be opened because it is not a regular file."};
}

// Opens a regular file for reading. A FIFO would block open() until a writer comes and a device
// may never end, so anything else is refused, before opening when possible and again on what was
// opened (the path may have changed in between); O_NONBLOCK keeps the open itself from waiting.
FileDescriptor openForReading(const fs::path& path, struct stat& info) {
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) throw notARegularFile(path, info);
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) throw FileError::fromErrno(errno, path, "open");
    if (::fstat(fd.get(), &info) != 0) throw FileError::fromErrno(errno, path, "open");
    if (!S_ISREG(info.st_mode)) throw notARegularFile(path, info);
    return fd;
}

// Creates the folder and its missing parents as the user's own (0700), whatever the umask: with
// 0777 minus a umask of 000 anyone could replace the configuration or a script. Answers an errno
// value, 0 on success.
int makeFolders(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) return 0;
    const fs::path parent = path.parent_path();
    if (!parent.empty() && parent != path) {
        if (const int error = makeFolders(parent)) return error;
    }
    if (::mkdir(path.c_str(), 0700) == 0) {
        // The umask may have taken the owner's own bits too.
        return ::chmod(path.c_str(), 0700) == 0 ? 0 : errno;
    }
    const int error = errno;
    if (error != EEXIST) return error;
    return fs::is_directory(path, ec) ? 0 : ENOTDIR; // a file in the way
}

struct InjectedFailure {
    files::InjectedWriteFailure::Step step;
    int error;
};
std::optional<InjectedFailure> injectedFailure;

bool failsByInjection(files::InjectedWriteFailure::Step step) {
    if (!injectedFailure || injectedFailure->step != step) return false;
    errno = injectedFailure->error;
    return true;
}

int syncFile(int fd) { return failsByInjection(files::InjectedWriteFailure::Step::flush) ? -1 : ::fsync(fd); }

int renameFile(const fs::path& from, const fs::path& to) {
    return failsByInjection(files::InjectedWriteFailure::Step::rename) ? -1 : ::rename(from.c_str(), to.c_str());
}

// Writes through a sibling temporary file that is renamed over `path` once its content is on disk.
// `fill` writes the content and throws an errno value (or a FileError of its own) on failure.
std::optional<files::FileIdentity> replaceAtomically(const fs::path& requested, std::string_view operation,
                                                     std::optional<mode_t> mode, const std::function<void(int fd)>& fill) {
    // Replace the file a symlink points at, not the link: dotfile managers keep such links.
    fs::path path = requested;
    std::error_code ec;
    if (fs::is_symlink(requested, ec)) {
        const fs::path resolved = fs::weakly_canonical(requested, ec);
        if (!ec) path = resolved;
    }

    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    files::createDirectories(folder);

    if (!mode) {
        struct stat existing {};
        if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) mode = existing.st_mode & 07777;
        else mode = 0644 & ~currentUmask();
    }

    std::string pattern = (folder / ("." + path.filename().string() + std::string(temporarySuffixPattern))).string();
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0) throw FileError::fromErrno(errno, requested, operation);
    const fs::path temporary = pattern;
    // Kept open past the rename: the identity answered is the written file's, even should
    // another program replace it at the path right after.
    std::optional<FileDescriptor> written;

    try {
        if (::fchmod(fd.get(), *mode) != 0) throw errno;
        fill(fd.get());
        if (syncFile(fd.get()) != 0) throw errno;
        written.emplace(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
        if (fd.close() != 0) throw errno;
        if (renameFile(temporary, path) != 0) throw errno;
    } catch (int error) {
        ::unlink(temporary.c_str());
        throw FileError::fromErrno(error, requested, operation);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }

    // Makes the rename itself durable. Best effort: the new content is already in place, and
    // some file systems refuse fsync on folders.
    FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() >= 0) ::fsync(folderFd.get());
    // After the rename, which changes the file's change time.
    struct stat info {};
    if (!written || written->get() < 0 || ::fstat(written->get(), &info) != 0) return std::nullopt;
    return identityOf(info);
}

} // namespace

FileError::FileError(Kind kind, std::filesystem::path path, std::string localizedDescription)
    : std::runtime_error(localizedDescription), kind_(kind), path_(std::move(path)),
      localizedDescription_(std::move(localizedDescription)) {}

FileError FileError::tooLarge(const std::filesystem::path& path, std::uint64_t limit, std::string_view operation) {
    const OperationWords words = wordsFor(operation);
    return {Kind::tooLarge, path,
            "The file " + quoted(path) + " couldn’t be " + std::string(words.participle) + " because it " +
                (words.writes ? "would be" : "is") + " larger than " + sizeText(limit) + "."};
}

FileError FileError::fromErrno(int error, const std::filesystem::path& path, std::string_view operation) {
    const OperationWords words = wordsFor(operation);
    const std::string subject = "The " + std::string(words.noun) + " " + quoted(path) + " couldn’t be " +
                                std::string(words.participle);
    switch (error) {
    case ENOENT:
        if (words.writes) {
            return {Kind::noSuchFile, path, subject + " because the folder " + folderOf(path) + " doesn’t exist."};
        }
        return {Kind::noSuchFile, path, subject + " because there is no such file."};
    case EACCES:
    case EPERM:
    case EROFS:
        if (words.writes) {
            return {Kind::noPermission, path,
                    "You don’t have permission to " + std::string(words.verb) + " the " + std::string(words.noun) + " " +
                        quoted(path) + " in the folder " + folderOf(path) + "."};
        }
        return {Kind::noPermission, path, subject + " because you don’t have permission to " + std::string(words.verb) + " it."};
    case EISDIR: return {Kind::notAFile, path, subject + " because it is a folder."};
    default: return {Kind::other, path, subject + ". " + systemMessage(error) + "."};
    }
}

namespace files {

std::optional<std::filesystem::path> applicationSupportDirectory() { return xdgDirectory("XDG_DATA_HOME", ".local/share"); }

std::optional<std::filesystem::path> configDirectory() { return xdgDirectory("XDG_CONFIG_HOME", ".config"); }

std::optional<std::filesystem::path> cacheDirectory() { return xdgDirectory("XDG_CACHE_HOME", ".cache"); }

std::optional<std::filesystem::path> applicationScriptsDirectory() {
    const auto support = applicationSupportDirectory();
    if (!support) return std::nullopt;
    const fs::path scripts = *support / std::string(bundleIdentifier) / "scripts";
    if (makeFolders(scripts) != 0) return std::nullopt;
    return scripts;
}

bool exists(const std::filesystem::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::optional<FileIdentity> identity(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return identityOf(info);
}

FileContents readRegularFile(const std::filesystem::path& path, std::uint64_t limit) {
    struct stat info {};
    const FileDescriptor fd = openForReading(path, info);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) throw FileError::tooLarge(path, limit, "open");
    FileContents contents{{}, identityOf(info)};
    std::string& bytes = contents.bytes;
    // The file may grow while it is read: the limit holds for what is read, not what was stated.
    bytes.resize(static_cast<std::size_t>(size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > limit) throw FileError::tooLarge(path, limit, "open");
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, filled * 2 + 65536)));
        }
        const ssize_t count = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0) {
            if (errno == EINTR) continue;
            throw FileError::fromErrno(errno, path, "open");
        }
        if (count == 0) break;
        filled += static_cast<std::size_t>(count);
    }
    if (filled > limit) throw FileError::tooLarge(path, limit, "open");
    bytes.resize(filled);
    return contents;
}

std::optional<FileIdentity> identityIfHolding(const std::filesystem::path& path,
                                              const std::function<void(const std::function<void(std::string_view)>&)>& produce) {
    struct stat info {};
    const FileDescriptor fd = openForReading(path, info);
    const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
    // Thrown to stop the producer at the first difference.
    struct Differs {};
    std::uint64_t compared = 0;
    std::string buffer;
    const auto compare = [&](std::string_view bytes) {
        if (compared + bytes.size() > size) throw Differs{};
        buffer.resize(bytes.size());
        std::size_t filled = 0;
        while (filled < bytes.size()) {
            const ssize_t count = ::read(fd.get(), buffer.data() + filled, bytes.size() - filled);
            if (count < 0) {
                if (errno == EINTR) continue;
                throw FileError::fromErrno(errno, path, "open");
            }
            if (count == 0) throw Differs{};
            filled += static_cast<std::size_t>(count);
        }
        if (std::string_view(buffer) != bytes) throw Differs{};
        compared += bytes.size();
    };
    try {
        produce(compare);
    } catch (const Differs&) {
        return std::nullopt;
    }
    char extra = 0;
    ssize_t count = 0;
    while ((count = ::read(fd.get(), &extra, 1)) < 0 && errno == EINTR) {
    }
    if (compared != size || count != 0) return std::nullopt;
    return identityOf(info);
}

std::string readBeginning(const std::filesystem::path& path, std::size_t count) {
    struct stat info {};
    const FileDescriptor fd = openForReading(path, info);
    std::string bytes(count, '\0');
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t read = ::read(fd.get(), bytes.data() + filled, count - filled);
        if (read < 0) {
            if (errno == EINTR) continue;
            throw FileError::fromErrno(errno, path, "open");
        }
        if (read == 0) break;
        filled += static_cast<std::size_t>(read);
    }
    bytes.resize(filled);
    return bytes;
}

std::string readFile(const std::filesystem::path& path, std::uint64_t limit) {
    return std::move(readRegularFile(path, limit).bytes);
}

std::optional<FileIdentity> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    return replaceAtomically(path, "save", std::nullopt, [&](int fd) { writeAll(fd, bytes.data(), bytes.size()); });
}

std::optional<FileIdentity> writeFileAtomically(const std::filesystem::path& path,
                                                const std::function<void(const AppendBytes&)>& produce) {
    return replaceAtomically(path, "save", std::nullopt, [&](int fd) {
        produce([fd](std::string_view bytes) { writeAll(fd, bytes.data(), bytes.size()); });
    });
}

void createDirectories(const std::filesystem::path& path) {
    if (const int error = makeFolders(path)) throw FileError::fromErrno(error, path, "create");
}

void copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination) {
    struct stat info {};
    const FileDescriptor input = openForReading(source, info);
    // The copy keeps the source's permissions, so that a copied script stays executable.
    replaceAtomically(destination, "copy", info.st_mode & 07777, [&](int fd) {
        char buffer[65536];
        for (;;) {
            const ssize_t count = ::read(input.get(), buffer, sizeof buffer);
            if (count < 0) {
                if (errno == EINTR) continue;
                throw FileError::fromErrno(errno, source, "open");
            }
            if (count == 0) break;
            writeAll(fd, buffer, static_cast<std::size_t>(count));
        }
    });
}

std::size_t removeStaleTemporaryFiles(const std::filesystem::path& folder, std::string_view extension,
                                      std::chrono::seconds olderThan) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) return 0;
    const int folderFd = ::dirfd(directory);
    const auto now = std::chrono::system_clock::now();
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (!isOurTemporaryName(name, extension)) continue;
        struct stat info {};
        // Links and anything else that is not a plain file were not made by a write of ours.
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
        const auto modified = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::seconds(info.st_mtim.tv_sec)));
        // A write of another process that shares the folder may still be under way.
        if (now - modified < olderThan) continue;
        if (::unlinkat(folderFd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(directory);
    return removed;
}

std::string backupTimestamp(std::chrono::system_clock::time_point time) {
    const long long sinceEpoch = std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch()).count();
    // Floor division, so that instants before 1970 keep a millisecond part in 0...999.
    const auto secondsPart = static_cast<std::time_t>(sinceEpoch >= 0 ? sinceEpoch / 1000 : (sinceEpoch - 999) / 1000);
    const int millisecondPart = static_cast<int>(sinceEpoch - static_cast<long long>(secondsPart) * 1000);

    // localtime_r need not look at TZ again; tzset makes it follow changes made since the last call.
    ::tzset();
    std::tm local{};
    ::localtime_r(&secondsPart, &local);

    const long offset = local.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d.%03d%c%02ld%02ld", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millisecondPart, offset < 0 ? '-' : '+',
                  magnitude / 3600, (magnitude % 3600) / 60);
    return text;
}

InjectedWriteFailure::InjectedWriteFailure(Step step, int error) { injectedFailure = InjectedFailure{step, error}; }

InjectedWriteFailure::~InjectedWriteFailure() { injectedFailure.reset(); }

} // namespace files
} // namespace tavlin
