#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Starting programs without a shell: every argument reaches the program as one argv element.
namespace tavlin::xdg {

// Owns a file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

private:
    int fd_ = -1;
};

// A child started with spawnChild, or the errno of the failed start.
struct Spawned {
    pid_t pid = -1;
    int error = 0;
};

// Starts argv[0] (looked up in PATH when it has no "/") as our child, in a session of its own,
// with standard input from /dev/null, default signal handling and no descriptors but 0 to 2.
// The caller reaps it.
Spawned spawnChild(const std::vector<std::string>& argv);

// Waits up to `seconds` for the child to end. Its wait status; nothing when it still runs.
std::optional<int> waitForChild(pid_t pid, double seconds);
// The child's wait status when it has ended (and reaps it); nothing while it runs. A child that
// can no longer be waited for (reaped elsewhere) counts as ended with status 0.
std::optional<int> reapIfEnded(pid_t pid);

// How a run that did not succeed ended ("exited with status 2", "was ended by the signal
// “Terminated”"); nothing for a clean exit.
std::optional<std::string> describeFailure(int waitStatus);

// Starts `program` (a path, never looked up in PATH) with `argv` so that it is not our child:
// GLib starts it from an intermediate process that it reaps at once, so the program outlives us
// and never becomes our zombie. It runs in a session of its own, with standard input from
// /dev/null, default signal handling and no descriptors but 0 to 2. 0 once it runs, else the
// errno of the failed start.
int startDetached(const std::filesystem::path& program, const std::vector<std::string>& argv,
                  const std::string& workingDirectory);

// The executable of a running process (/proc/<pid>/exe with symbolic links resolved).
std::optional<std::filesystem::path> executableOfProcess(pid_t pid);

} // namespace tavlin::xdg
