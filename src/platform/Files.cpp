#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

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

FileDescriptor openForReading(const fs::path& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw FileError::fromErrno(errno, path, "open");
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw FileError::fromErrno(errno, path, "open");
    if (S_ISDIR(info.st_mode)) throw FileError::fromErrno(EISDIR, path, "open");
    return fd;
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
void replaceAtomically(const fs::path& requested, std::string_view operation, std::optional<mode_t> mode,
                       const std::function<void(int fd)>& fill) {
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

    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0) throw FileError::fromErrno(errno, requested, operation);
    const fs::path temporary = pattern;

    try {
        if (::fchmod(fd.get(), *mode) != 0) throw errno;
        fill(fd.get());
        if (syncFile(fd.get()) != 0) throw errno;
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
}

} // namespace

FileError::FileError(Kind kind, std::filesystem::path path, std::string localizedDescription)
    : std::runtime_error(localizedDescription), kind_(kind), path_(std::move(path)),
      localizedDescription_(std::move(localizedDescription)) {}

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
                    "You don’t have permission to " + std::string(words.verb) + " the " + std::string(words.noun) +
                        " " + quoted(path) + " in the folder " + folderOf(path) + "."};
        }
        return {Kind::noPermission, path,
                subject + " because you don’t have permission to " + std::string(words.verb) + " it."};
    case EISDIR:
        return {Kind::notAFile, path, subject + " because it is a folder."};
    default:
        return {Kind::other, path, subject + ". " + systemMessage(error) + "."};
    }
}

namespace files {

std::optional<std::filesystem::path> applicationSupportDirectory() {
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> configDirectory() { return xdgDirectory("XDG_CONFIG_HOME", ".config"); }

std::optional<std::filesystem::path> applicationScriptsDirectory() {
    const auto support = applicationSupportDirectory();
    if (!support) return std::nullopt;
    const fs::path scripts = *support / std::string(bundleIdentifier) / "scripts";
    std::error_code ec;
    fs::create_directories(scripts, ec);
    if (ec || !fs::is_directory(scripts, ec)) return std::nullopt;
    return scripts;
}

bool exists(const std::filesystem::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string readFile(const std::filesystem::path& path) {
    const FileDescriptor fd = openForReading(path);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            throw FileError::fromErrno(errno, path, "open");
        }
        if (count == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    replaceAtomically(path, "save", std::nullopt, [&](int fd) { writeAll(fd, bytes.data(), bytes.size()); });
}

void writeFileAtomically(const std::filesystem::path& path, const std::function<void(const AppendBytes&)>& produce) {
    replaceAtomically(path, "save", std::nullopt, [&](int fd) {
        produce([fd](std::string_view bytes) { writeAll(fd, bytes.data(), bytes.size()); });
    });
}

void createDirectories(const std::filesystem::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (!ec && fs::is_directory(path, ec)) return;
    // create_directories answers "file exists" when a regular file is in the way.
    int error = ec ? ec.value() : ENOTDIR;
    if (error == EEXIST) error = ENOTDIR;
    throw FileError::fromErrno(error, path, "create");
}

void copyReplacing(const std::filesystem::path& source, const std::filesystem::path& destination) {
    const FileDescriptor input = openForReading(source);
    struct stat info {};
    if (::fstat(input.get(), &info) != 0) throw FileError::fromErrno(errno, source, "open");
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

std::string backupTimestamp(std::chrono::system_clock::time_point time) {
    const long long sinceEpoch =
        std::chrono::floor<std::chrono::milliseconds>(time.time_since_epoch()).count();
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
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d.%03d%c%02ld%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millisecondPart,
                  offset < 0 ? '-' : '+', magnitude / 3600, (magnitude % 3600) / 60);
    return text;
}

InjectedWriteFailure::InjectedWriteFailure(Step step, int error) { injectedFailure = InjectedFailure{step, error}; }

InjectedWriteFailure::~InjectedWriteFailure() { injectedFailure.reset(); }

} // namespace files
} // namespace tavlin
