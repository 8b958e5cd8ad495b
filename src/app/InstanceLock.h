#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Free of Qt: the executable takes the lock before it loads the application's libraries.
namespace tavlin::app {

// One running application per user and display, with or without a session bus: the holder of
// exclusive locks on a file in $XDG_RUNTIME_DIR and on one in the settings folder. Either alone
// keeps a second start out, so a lock path that cannot be opened in one folder (a folder or a
// link put there, a read-only folder) still leaves the other. The locks go with the process,
// however it ends; programs it starts do not inherit them.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // The locks go along: the start-up takes them before the application exists.
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;

    enum class State { held, heldByAnother, unavailable };
    // Never waits. `unavailable` when neither file can be opened and locked (one line says why
    // for each).
    State acquire(const std::string& display);

    // The display a connection to the X server on `socket` reaches, named for a file name: the
    // server's socket rather than the spelling of $DISPLAY (":0", "unix:0" and ":0.0" are one
    // display). `spelled` names it when the socket tells nothing.
    static std::string displayName(int socket, const std::string& spelled);
    // The lock files of `display`; none without a folder for them.
    static std::vector<std::filesystem::path> files(const std::string& display);

private:
    std::vector<int> descriptors_;
};

} // namespace tavlin::app
