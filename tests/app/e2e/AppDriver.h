#pragma once

// Runs the real application as a user would, in a throwaway home, on a session bus of its own:
// other test programs running alongside post external events and claim the application's bus
// name on the shared bus, which would open or end sessions under our feet. Shared by the
// end-to-end tests and the latency program; no GoogleTest in here.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace tavlin::e2e {

using Clock = std::chrono::steady_clock;

// The bytes of a file; empty when it cannot be read.
std::string fileText(const std::filesystem::path& path);

// Calls `done` every couple of milliseconds until it answers true or the time is up; answers
// its last answer.
template <typename Done>
bool pollUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5));

// A dbus-daemon with no service folders (nothing is activated), listening in a folder of its own.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return address_; }
    // The address as the daemon prints it, with its guid (which a restart does not keep).
    std::string addressWithGuid() const;
    // Stops the daemon and starts a new one at the same address, as when a session's bus is
    // restarted: everything connected to the old one is cut off.
    void restart();

private:
    void start();
    void stop();

    std::filesystem::path folder_;
    std::string address_;
    pid_t pid_ = -1;
};

// The folders the application sees as HOME and the XDG folders, a `xdg-open` stand-in first on
// its PATH that appends each URL it is given to a file, and the files the application writes.
class AppHome {
public:
    AppHome();
    ~AppHome();
    AppHome(const AppHome&) = delete;
    AppHome& operator=(const AppHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path configurationFile() const;
    std::filesystem::path standardOutputFile() const { return root_ / "app.out"; }
    std::filesystem::path standardErrorFile() const { return root_ / "app.err"; }

    void writeConfiguration(const std::string& json) const;
    // Runs `work` with the environment pointing here, so the program's own stores (settings,
    // rows) read and write this home's files.
    void withStores(const std::function<void()>& work) const;
    // Stores a setting of the application's suite through the program's own store, with the
    // environment pointing here only while it writes.
    void setSetting(const std::string& key, double value) const;
    void setSetting(const std::string& key, const std::string& value) const;
    // The text of a setting of the application's suite as stored on disk now.
    std::optional<std::string> stringSetting(const std::string& key) const;
    // The URLs handed to xdg-open so far, in order.
    std::vector<std::string> openedURLs() const;
    // From now on xdg-open stays in the foreground, before it records its URL, until
    // `releaseOpener` (or 60 s): an opener that takes its time.
    void holdOpener() const;
    void releaseOpener() const;
    // $XDG_DATA_HOME/applications, where the user's desktop entries go.
    std::filesystem::path applicationsFolder() const { return root_ / "data" / "applications"; }
    // Writes a desktop entry there (`id` without ".desktop") and answers its path.
    std::filesystem::path writeDesktopEntry(const std::string& id, const std::string& text) const;
    // Puts an executable script in the folder that comes first on the application's PATH.
    void writeProgram(const std::string& name, const std::string& script) const;

    // The environment of a process started here: ours with HOME, the XDG folders, PATH and the
    // bus replaced.
    std::vector<std::string> environment(const std::string& busAddress) const;

private:
    std::filesystem::path root_;
};

// A `tavlin` process. The child is killed if this process dies first, so no instance can
// outlive a crashed or timed-out test.
class AppProcess {
public:
    // `standardOutput`, when given, is the descriptor the process writes its output to instead of
    // a file (the ready line then shows only there).
    AppProcess(const std::string& executable, std::vector<std::string> arguments, const AppHome& home,
               const std::string& busAddress, std::optional<int> standardOutput = std::nullopt);
    ~AppProcess(); // stops the process if it still runs
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point startTime() const { return started_; }
    // Waits for "tavlin: ready" on its standard output; false when it exits first or the time is up.
    bool waitUntilReady(std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool printedReady() const;
    // Its exit status once it has exited by itself within the time; nothing otherwise.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    bool running();
    // SIGTERM, then SIGKILL when it has not exited within the time. Answers whether it ended
    // from SIGTERM with status 0.
    bool stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
    // The raw wait status once it has ended.
    std::optional<int> rawStatus() const { return status_; }
    // All it has written to standard output (when that went to a file).
    std::string standardOutput() const;
    // The file its standard output goes to.
    const std::filesystem::path& standardOutputPath() const { return out_; }
    // The last lines of its output, for failure messages.
    std::string outputTail() const;
    // How often `text` occurs in its standard output so far.
    std::size_t outputCount(const std::string& text) const;

private:
    bool reap(bool block);

    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    Clock::time_point started_;
    std::optional<int> status_; // raw wait status once reaped
};

// Runs a client command (`tavlin ke start` and the like) to its end; its exit status, or -1.
int runClient(const std::string& executable, const std::vector<std::string>& arguments, const AppHome& home,
              const std::string& busAddress, std::chrono::milliseconds limit = std::chrono::seconds(5));

// Sends each object as a Post signal of `name` (the program's wire form), back to back on one
// connection to the bus, which is flushed before this returns. False when the bus is unreachable.
bool postSignals(const std::string& busAddress, const std::string& name, const std::vector<std::string>& objects);

// Holds a name on a bus while it lives, as a program without windows would.
class BusNameOwner {
public:
    BusNameOwner(const std::string& busAddress, const std::string& name);
    ~BusNameOwner();
    BusNameOwner(const BusNameOwner&) = delete;
    BusNameOwner& operator=(const BusNameOwner&) = delete;

    bool owns() const { return owns_; }

private:
    void* connection_ = nullptr; // DBusConnection
    bool owns_ = false;
};

// The names of the accessible objects `pid` exports over AT-SPI, as a screen reader reads them
// from the accessibility bus an at-spi-bus-launcher announces on `sessionBus`; empty when none
// answers.
std::vector<std::string> accessibleNames(const std::string& sessionBus, pid_t pid);

// The resident set of a process in KiB (VmRSS), nothing when unreadable.
std::optional<long> residentKiB(pid_t pid);

template <typename Done>
bool pollUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace tavlin::e2e
