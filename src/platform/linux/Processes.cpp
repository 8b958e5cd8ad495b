#include "platform/linux/Processes.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

extern char** environ;

namespace tavlin::xdg {
namespace {

bool hasNul(const std::string& text) { return text.find('\0') != std::string::npos; }

std::vector<char*> argvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Runs in the started program's process just before its exec, in a child of a threaded
// process: only async-signal-safe calls. A session of its own, so that a terminal's hang-up or
// Ctrl-C aimed at us does not reach it, and the signal handling a program expects.
void prepareDetachedChild(gpointer) {
    ::setsid();
    sigset_t noSignals;
    sigemptyset(&noSignals);
    ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &defaultAction, nullptr);
}

// GLib reports a failed start by a code of its own for each errno it knows.
int errnoOfSpawnError(int code) {
    switch (code) {
    case G_SPAWN_ERROR_FORK: return EAGAIN;
    case G_SPAWN_ERROR_NOMEM: return ENOMEM;
    case G_SPAWN_ERROR_CHDIR: return ENOENT;
    case G_SPAWN_ERROR_ACCES: return EACCES;
    case G_SPAWN_ERROR_PERM: return EPERM;
    case G_SPAWN_ERROR_TOO_BIG: return E2BIG;
    case G_SPAWN_ERROR_NOEXEC: return ENOEXEC;
    case G_SPAWN_ERROR_NAMETOOLONG: return ENAMETOOLONG;
    case G_SPAWN_ERROR_NOENT: return ENOENT;
    case G_SPAWN_ERROR_NOTDIR: return ENOTDIR;
    case G_SPAWN_ERROR_LOOP: return ELOOP;
    case G_SPAWN_ERROR_TXTBUSY: return ETXTBSY;
    case G_SPAWN_ERROR_NFILE: return ENFILE;
    case G_SPAWN_ERROR_MFILE: return EMFILE;
    case G_SPAWN_ERROR_INVAL: return EINVAL;
    case G_SPAWN_ERROR_ISDIR: return EISDIR;
    case G_SPAWN_ERROR_LIBBAD: return ELIBBAD;
    default: return EIO;
    }
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

void FileDescriptor::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Spawned spawnChild(const std::vector<std::string>& argv) {
    if (argv.empty()) return {-1, EINVAL};
    for (const auto& argument : argv) {
        if (hasNul(argument)) return {-1, EINVAL};
    }
    std::vector<char*> pointers = argvPointers(argv);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Descriptors we forgot to mark close-on-exec (bus connections...) stay with us.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    // Its own session: a terminal's hang-up or Ctrl-C aimed at us does not reach what it opens.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, pointers.front(), &actions, &attributes, pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return {-1, error};
    return {pid, 0};
}

std::optional<int> reapIfEnded(pid_t pid) {
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return std::nullopt;
    if (result < 0) return 0; // not ours to wait for any more: nothing is known of its end
    return status;
}

std::optional<int> waitForChild(pid_t pid, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const FileDescriptor processFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    for (;;) {
        if (auto status = reapIfEnded(pid)) return status;
        const auto remaining = std::chrono::duration<double, std::milli>(deadline - Clock::now()).count();
        if (remaining <= 0) return std::nullopt;
        if (processFd.get() >= 0) {
            pollfd watch{processFd.get(), POLLIN, 0};
            ::poll(&watch, 1, static_cast<int>(std::ceil(std::min(remaining, 60'000.0))));
        } else {
            // Kernels before 5.3 have no process descriptors.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

std::optional<std::string> describeFailure(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        if (WEXITSTATUS(waitStatus) == 0) return std::nullopt;
        return "exited with status " + std::to_string(WEXITSTATUS(waitStatus));
    }
    if (WIFSIGNALED(waitStatus)) {
        const char* name = ::strsignal(WTERMSIG(waitStatus));
        return std::string("was ended by the signal “") + (name ? name : std::to_string(WTERMSIG(waitStatus))) + "”";
    }
    return "ended in an unknown way";
}

int startDetached(const std::filesystem::path& program, const std::vector<std::string>& argv,
                  const std::string& workingDirectory) {
    if (argv.empty() || hasNul(program.string()) || hasNul(workingDirectory)) return EINVAL;
    for (const auto& argument : argv) {
        if (hasNul(argument)) return EINVAL;
    }
    // With G_SPAWN_FILE_AND_ARGV_ZERO the first element is the file and the rest the argv.
    const std::string programPath = program.string();
    std::vector<char*> pointers = argvPointers(argv);
    pointers.insert(pointers.begin(), const_cast<char*>(programPath.c_str()));

    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program from an intermediate child, which
    // it reaps before returning; it closes every descriptor above 2 and reports a failed exec.
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_FILE_AND_ARGV_ZERO | G_SPAWN_STDIN_FROM_DEV_NULL);
    GError* error = nullptr;
    const gboolean started = g_spawn_async_with_pipes_and_fds(
        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), pointers.data(), nullptr, flags, prepareDetachedChild,
        nullptr, -1, -1, -1, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, &error);
    if (started) return 0;
    const int code = error && error->domain == G_SPAWN_ERROR ? errnoOfSpawnError(error->code) : EIO;
    g_clear_error(&error);
    return code;
}

std::optional<std::filesystem::path> executableOfProcess(pid_t pid) {
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char buffer[4096];
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof buffer)) return std::nullopt;
    std::string path(buffer, static_cast<std::size_t>(length));
    // A program replaced on disk while it runs (an update) still names its old file.
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.ends_with(deleted) && ::access(path.c_str(), F_OK) != 0) {
        path.resize(path.size() - deleted.size());
    }
    return std::filesystem::path(path);
}

} // namespace tavlin::xdg
