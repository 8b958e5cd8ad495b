#pragma once

// A private session bus for tests, and plain libdbus clients that watch it or send on it as
// another program would. Nothing here touches the user's own bus.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dbus/dbus.h>

extern char** environ;

namespace tavlin::test {

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline std::filesystem::path makeTemporaryFolder(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

struct ProcessResult {
    int exitStatus = -1; // -1 when killed or not exited normally
    bool timedOut = false;
    std::string standardOutput;
    std::string standardError;
};

// Runs a program with the current environment, standard input from /dev/null; kills it if it
// runs longer than `timeout`.
inline ProcessResult runProcess(const std::vector<std::string>& arguments,
                                std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto folder = makeTemporaryFolder("tavlin-process");
    const std::string outPath = (folder / "out").string();
    const std::string errPath = (folder / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + arguments[0]);

    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    result.standardOutput = readWholeFile(outPath);
    result.standardError = readWholeFile(errPath);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}

// A dbus-daemon of our own, with no service directories (nothing gets activated), listening
// in a temporary folder. While it lives, DBUS_SESSION_BUS_ADDRESS names it.
class PrivateSessionBus {
public:
    PrivateSessionBus() : folder_(makeTemporaryFolder("tavlin-bus")) {
        const auto config = folder_ / "session.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>session</type>\n"
                                 "  <listen>unix:path="
                              << (folder_ / "bus").string()
                              << "</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n";
        const auto started = runProcess(
            {"dbus-daemon", "--config-file=" + config.string(), "--fork", "--print-address=1", "--print-pid=1"});
        std::istringstream lines(started.standardOutput);
        std::string pidText;
        if (started.exitStatus != 0 || !std::getline(lines, address_) || !std::getline(lines, pidText)) {
            throw std::runtime_error("dbus-daemon did not start: " + started.standardError);
        }
        pid_ = static_cast<pid_t>(std::stol(pidText));
        if (const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS")) previousAddress_ = previous;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    }
    ~PrivateSessionBus() {
        ::kill(pid_, SIGTERM);
        if (previousAddress_) ::setenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_->c_str(), 1);
        else ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        // The daemon removes its socket as it exits: removing the folder before it is gone
        // races with that and leaves the folder behind.
        for (int i = 0; i < 200 && ::kill(pid_, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::error_code ignored;
        for (int attempt = 0; attempt < 3 && std::filesystem::exists(folder_, ignored); ++attempt)
            std::filesystem::remove_all(folder_, ignored);
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }

private:
    std::filesystem::path folder_;
    std::string address_;
    pid_t pid_ = 0;
    std::optional<std::string> previousAddress_;
};

// A signal as a plain libdbus client saw it.
struct ReceivedSignal {
    std::string member;
    std::string signature;
    std::vector<std::string> strings; // its string arguments, in order
};

// A libdbus connection of the test's own, standing for "another program on the bus".
class RawBusClient {
public:
    explicit RawBusClient(const std::string& address) {
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_connection_open_private(address.c_str(), &error);
        if (connection_) {
            dbus_connection_set_exit_on_disconnect(connection_, FALSE);
            dbus_bus_register(connection_, &error);
        }
        if (dbus_error_is_set(&error)) {
            const std::string message = error.message;
            dbus_error_free(&error);
            throw std::runtime_error("cannot connect to the test bus: " + message);
        }
        uniqueName_ = dbus_bus_get_unique_name(connection_);
    }
    ~RawBusClient() {
        dbus_connection_close(connection_);
        dbus_connection_unref(connection_);
    }
    RawBusClient(const RawBusClient&) = delete;
    RawBusClient& operator=(const RawBusClient&) = delete;

    // Every Post signal, whatever its arguments, and the bus's announcements of departures.
    void watchPosts() {
        addMatch("type='signal',interface='local.tavlin.DistributedNotificationCenter',member='Post'");
        addMatch("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged'");
    }

    // Sends a Post signal with these string arguments and, if given, an integer after them:
    // shapes that our own senders never produce.
    void sendPost(const std::vector<std::string>& strings, std::optional<dbus_int32_t> trailingInt = std::nullopt) {
        DBusMessage* message = dbus_message_new_signal("/local/tavlin/DistributedNotificationCenter",
                                                       "local.tavlin.DistributedNotificationCenter", "Post");
        DBusMessageIter iterator;
        dbus_message_iter_init_append(message, &iterator);
        for (const auto& text : strings) {
            const char* value = text.c_str();
            dbus_message_iter_append_basic(&iterator, DBUS_TYPE_STRING, &value);
        }
        if (trailingInt) dbus_message_iter_append_basic(&iterator, DBUS_TYPE_INT32, &*trailingInt);
        dbus_connection_send(connection_, message, nullptr);
        dbus_connection_flush(connection_);
        dbus_message_unref(message);
    }

    // Collects Post signals until another client leaves the bus (a client that posted and
    // exited: the bus announces its departure only after routing all it sent) or the time is up.
    // Answers the posts and whether the departure was seen.
    std::pair<std::vector<ReceivedSignal>, bool> postsUntilAClientLeaves(
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::vector<ReceivedSignal> posts;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            dbus_connection_read_write(connection_, 50);
            while (DBusMessage* message = dbus_connection_pop_message(connection_)) {
                ReceivedSignal received = describe(message);
                const bool departure = received.member == "NameOwnerChanged" && received.strings.size() == 3 &&
                                       received.strings[0] != uniqueName_ && received.strings[0].starts_with(":") &&
                                       received.strings[2].empty();
                if (received.member == "Post") posts.push_back(std::move(received));
                dbus_message_unref(message);
                if (departure) return {posts, true};
            }
        }
        return {posts, false};
    }

    // Collects Post signals until `count` have come or the time is up.
    std::vector<ReceivedSignal> waitForPosts(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::vector<ReceivedSignal> posts;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (posts.size() < count && std::chrono::steady_clock::now() < deadline) {
            dbus_connection_read_write(connection_, 20);
            while (DBusMessage* message = dbus_connection_pop_message(connection_)) {
                ReceivedSignal received = describe(message);
                if (received.member == "Post") posts.push_back(std::move(received));
                dbus_message_unref(message);
            }
        }
        return posts;
    }

    // Every Post signal that has reached us so far: a round trip to the bus first, so whatever
    // was routed before it is here.
    std::vector<ReceivedSignal> postsSoFar() {
        DBusMessage* call = dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                                         "GetId");
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(connection_, call, 5000, nullptr);
        dbus_message_unref(call);
        if (reply) dbus_message_unref(reply);
        std::vector<ReceivedSignal> posts;
        dbus_connection_read_write(connection_, 0);
        while (DBusMessage* message = dbus_connection_pop_message(connection_)) {
            ReceivedSignal received = describe(message);
            if (received.member == "Post") posts.push_back(std::move(received));
            dbus_message_unref(message);
        }
        return posts;
    }

    bool isConnected() const { return dbus_connection_get_is_connected(connection_); }

private:
    void addMatch(const char* rule) {
        DBusError error;
        dbus_error_init(&error);
        dbus_bus_add_match(connection_, rule, &error);
        if (dbus_error_is_set(&error)) {
            const std::string message = error.message;
            dbus_error_free(&error);
            throw std::runtime_error("AddMatch failed: " + message);
        }
    }

    static ReceivedSignal describe(DBusMessage* message) {
        ReceivedSignal received;
        if (const char* member = dbus_message_get_member(message)) received.member = member;
        if (const char* signature = dbus_message_get_signature(message)) received.signature = signature;
        DBusMessageIter iterator;
        if (dbus_message_iter_init(message, &iterator)) {
            do {
                if (dbus_message_iter_get_arg_type(&iterator) == DBUS_TYPE_STRING) {
                    const char* value = nullptr;
                    dbus_message_iter_get_basic(&iterator, &value);
                    received.strings.emplace_back(value);
                }
            } while (dbus_message_iter_next(&iterator));
        }
        return received;
    }

    DBusConnection* connection_ = nullptr;
    std::string uniqueName_;
};

} // namespace tavlin::test
