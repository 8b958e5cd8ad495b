#include "e2e/AppDriver.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dbus/dbus.h>

#include "model/Settings.h"
#include "platform/files/UserDefaults.h"

extern char** environ;

namespace tavlin::e2e {
namespace {

std::filesystem::path makeTemporaryFolder(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

// fork and exec rather than posix_spawn: the child must ask for a signal when we die, so that a
// test killed by its time limit leaves no instance holding the keyboard or the bus name.
pid_t spawn(const std::string& executable, const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::filesystem::path& out, const std::filesystem::path& err,
            std::optional<int> standardOutput = std::nullopt) {
    std::vector<char*> argv{const_cast<char*>(executable.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int output = standardOutput ? ::fcntl(*standardOutput, F_DUPFD_CLOEXEC, 0)
                                      : ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int error = ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t parent = ::getpid();
    const pid_t pid = (input < 0 || output < 0 || error < 0) ? -1 : ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(input, 0);
        ::dup2(output, 1);
        ::dup2(error, 2);
        // Our X connection and anything else open here is none of the child's business.
        ::syscall(SYS_close_range, 3u, ~0u, 0u);
        ::signal(SIGPIPE, SIG_DFL);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    for (const int fd : {input, output, error})
        if (fd >= 0) ::close(fd);
    if (pid < 0) throw std::runtime_error("cannot start " + executable);
    return pid;
}

} // namespace

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// --- PrivateBus -------------------------------------------------------------------------------

PrivateBus::PrivateBus() : folder_(makeTemporaryFolder("tavlin-e2e-bus")) { start(); }

void PrivateBus::start() {
    const auto config = folder_ / "session.conf";
    const auto socket = folder_ / "bus";
    writeFile(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n"
              "  <type>session</type>\n"
              "  <listen>unix:path=" +
                  socket.string() +
                  "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    // Not forked away: as our child it goes down with us, like the application.
    const auto info = folder_ / "info";
    std::error_code ignored;
    std::filesystem::remove(info, ignored);
    std::filesystem::remove(socket, ignored);
    pid_ = spawn("dbus-daemon", {"--config-file=" + config.string(), "--nofork", "--print-address=1"}, environment, info,
                 folder_ / "log");
    const bool listening = pollUntil([&] {
        const std::string text = fileText(info);
        return text.find('\n') != std::string::npos;
    });
    // The address as a session's own: without the daemon's guid, which a restarted daemon
    // does not keep.
    address_ = "unix:path=" + socket.string();
    if (!listening) {
        stop();
        throw std::runtime_error("dbus-daemon did not start: " + fileText(folder_ / "log"));
    }
}

std::string PrivateBus::addressWithGuid() const {
    const std::string printed = fileText(folder_ / "info");
    return printed.substr(0, printed.find('\n'));
}

void PrivateBus::restart() {
    stop();
    start();
}

void PrivateBus::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (!pollUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(2))) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

PrivateBus::~PrivateBus() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

// --- AppHome ----------------------------------------------------------------------------------

AppHome::AppHome() : root_(makeTemporaryFolder("tavlin-e2e")) {
    for (const char* name : {"home", "data", "config", "cache", "bin"}) std::filesystem::create_directories(root_ / name);
    std::filesystem::create_directories(root_ / "runtime");
    ::chmod((root_ / "runtime").c_str(), 0700);
    const auto opener = root_ / "bin" / "xdg-open";
    writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + (root_ / "opened.txt").string() + "'\n");
    ::chmod(opener.c_str(), 0755);
}

AppHome::~AppHome() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void AppHome::holdOpener() const {
    const auto opener = root_ / "bin" / "xdg-open";
    const auto gate = root_ / "opener-released";
    writeFile(opener, "#!/bin/sh\ni=0\nwhile [ ! -e '" + gate.string() +
                          "' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"
                          "printf '%s\\n' \"$*\" >> '" +
                          (root_ / "opened.txt").string() + "'\n");
    ::chmod(opener.c_str(), 0755);
}

void AppHome::releaseOpener() const { writeFile(root_ / "opener-released", ""); }

std::filesystem::path AppHome::writeDesktopEntry(const std::string& id, const std::string& text) const {
    const auto path = applicationsFolder() / (id + ".desktop");
    writeFile(path, text);
    return path;
}

void AppHome::writeProgram(const std::string& name, const std::string& script) const {
    const auto path = root_ / "bin" / name;
    writeFile(path, script);
    ::chmod(path.c_str(), 0755);
}

std::filesystem::path AppHome::configurationFile() const { return root_ / "data" / "local.tavlin" / "configuration.json"; }

void AppHome::writeConfiguration(const std::string& json) const { writeFile(configurationFile(), json); }

namespace {

// Runs `work` with the environment pointing at the home, so the program's own store reads and
// writes the suite files there.
template <typename Work>
auto inHome(const std::filesystem::path& root, Work work) {
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* value = std::getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    UserDefaults::resetSharedSuites();
    auto result = work();
    UserDefaults::resetSharedSuites();
    for (const auto& [name, previous] : saved) {
        if (previous) ::setenv(name, previous->c_str(), 1);
        else ::unsetenv(name);
    }
    return result;
}

} // namespace

void AppHome::withStores(const std::function<void()>& work) const {
    inHome(root_, [&] {
        work();
        return 0;
    });
}

void AppHome::setSetting(const std::string& key, double value) const {
    const auto failure = inHome(root_, [&] { return settings::appGroupStore()->set(key, value); });
    if (failure) throw std::runtime_error("cannot store the setting " + key + ": " + *failure);
}

void AppHome::setSetting(const std::string& key, const std::string& value) const {
    const auto failure = inHome(root_, [&] { return settings::appGroupStore()->set(key, value); });
    if (failure) throw std::runtime_error("cannot store the setting " + key + ": " + *failure);
}

std::optional<std::string> AppHome::stringSetting(const std::string& key) const {
    return inHome(root_, [&] { return settings::appGroupStore()->string(key); });
}

std::vector<std::string> AppHome::openedURLs() const {
    std::vector<std::string> urls;
    std::istringstream lines(fileText(root_ / "opened.txt"));
    for (std::string line; std::getline(lines, line);) urls.push_back(line);
    return urls;
}

std::vector<std::string> AppHome::environment(const std::string& busAddress) const {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    const std::vector<std::pair<std::string, std::string>> replaced{
        {"HOME", (root_ / "home").string()},
        {"XDG_DATA_HOME", (root_ / "data").string()},
        {"XDG_CONFIG_HOME", (root_ / "config").string()},
        {"XDG_CACHE_HOME", (root_ / "cache").string()},
        {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
        {"PATH", (root_ / "bin").string() + ":" + path},
        {"DBUS_SESSION_BUS_ADDRESS", busAddress},
        {"QT_QPA_PLATFORM", "xcb"},
    };
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        bool overridden = false;
        for (const auto& [key, value] : replaced) overridden = overridden || key == name;
        if (!overridden) result.push_back(text);
    }
    for (const auto& [key, value] : replaced) result.push_back(key + "=" + value);
    return result;
}

// --- AppProcess -------------------------------------------------------------------------------

AppProcess::AppProcess(const std::string& executable, std::vector<std::string> arguments, const AppHome& home,
                       const std::string& busAddress, std::optional<int> standardOutput) {
    static int instance = 0;
    ++instance;
    out_ = home.root() / ("app-" + std::to_string(instance) + ".out");
    err_ = home.root() / ("app-" + std::to_string(instance) + ".err");
    started_ = Clock::now();
    pid_ = spawn(executable, arguments, home.environment(busAddress), out_, err_, standardOutput);
}

AppProcess::~AppProcess() { stop(); }

bool AppProcess::reap(bool block) {
    if (status_) return true;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (done != pid_) return false;
    status_ = status;
    return true;
}

bool AppProcess::running() { return !reap(false); }

bool AppProcess::printedReady() const {
    const std::string output = fileText(out_);
    return output.find("tavlin: ready\n") != std::string::npos;
}

bool AppProcess::waitUntilReady(std::chrono::milliseconds limit) {
    bool exited = false;
    const bool ready = pollUntil(
        [&] {
            if (printedReady()) return true;
            exited = !running();
            return exited;
        },
        limit);
    return ready && !exited;
}

std::optional<int> AppProcess::waitForExit(std::chrono::milliseconds limit) {
    if (!pollUntil([this] { return !running(); }, limit)) return std::nullopt;
    if (!WIFEXITED(*status_)) return std::nullopt;
    return WEXITSTATUS(*status_);
}

bool AppProcess::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0) return false;
    if (running()) {
        ::kill(pid_, SIGTERM);
        if (!pollUntil([this] { return !running(); }, grace)) {
            ::kill(pid_, SIGKILL);
            reap(true);
            return false;
        }
    }
    return WIFEXITED(*status_) && WEXITSTATUS(*status_) == 0;
}

std::string AppProcess::standardOutput() const { return fileText(out_); }

std::string AppProcess::outputTail() const {
    const auto tail = [](const std::string& text) {
        constexpr std::size_t keep = 3000;
        return text.size() <= keep ? text : "…" + text.substr(text.size() - keep);
    };
    return "--- standard output of " + std::to_string(pid_) + ":\n" + tail(fileText(out_)) + "\n--- standard error:\n" +
           tail(fileText(err_));
}

std::size_t AppProcess::outputCount(const std::string& text) const {
    const std::string output = fileText(out_);
    std::size_t count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
    return count;
}

// --- Helpers ----------------------------------------------------------------------------------

int runClient(const std::string& executable, const std::vector<std::string>& arguments, const AppHome& home,
              const std::string& busAddress, std::chrono::milliseconds limit) {
    AppProcess client(executable, arguments, home, busAddress);
    const auto status = client.waitForExit(limit);
    return status ? *status : -1;
}

bool postSignals(const std::string& busAddress, const std::string& name, const std::vector<std::string>& objects) {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(busAddress.c_str(), &error);
    if (!connection) {
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    bool sent = dbus_bus_register(connection, &error);
    dbus_error_free(&error);
    for (const auto& object : objects) {
        if (!sent) break;
        DBusMessage* signal = dbus_message_new_signal("/local/tavlin/DistributedNotificationCenter",
                                                      "local.tavlin.DistributedNotificationCenter", "Post");
        const char* nameText = name.c_str();
        const char* objectText = object.c_str();
        sent = signal &&
               dbus_message_append_args(signal, DBUS_TYPE_STRING, &nameText, DBUS_TYPE_STRING, &objectText, DBUS_TYPE_INVALID) &&
               dbus_connection_send(connection, signal, nullptr);
        if (signal) dbus_message_unref(signal);
    }
    dbus_connection_flush(connection);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return sent;
}

BusNameOwner::BusNameOwner(const std::string& busAddress, const std::string& name) {
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(busAddress.c_str(), &error);
    if (connection) {
        dbus_connection_set_exit_on_disconnect(connection, FALSE);
        if (dbus_bus_register(connection, &error)) {
            owns_ = dbus_bus_request_name(connection, name.c_str(), DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) ==
                    DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
        }
    }
    dbus_error_free(&error);
    connection_ = connection;
}

BusNameOwner::~BusNameOwner() {
    if (!connection_) return;
    auto* connection = static_cast<DBusConnection*>(connection_);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

namespace {

// A private connection to a bus, closed when it goes.
struct BusConnection {
    explicit BusConnection(const std::string& address) {
        DBusError error;
        dbus_error_init(&error);
        connection = dbus_connection_open_private(address.c_str(), &error);
        if (connection) {
            dbus_connection_set_exit_on_disconnect(connection, FALSE);
            if (!dbus_bus_register(connection, &error)) close();
        }
        dbus_error_free(&error);
    }
    ~BusConnection() { close(); }
    void close() {
        if (!connection) return;
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
        connection = nullptr;
    }
    // Calls a method with string arguments; the reply, or none on an error or after 5 s.
    std::shared_ptr<DBusMessage> call(const char* destination, const char* path, const char* interface, const char* method,
                                      std::vector<const char*> arguments = {}) const {
        DBusMessage* message = dbus_message_new_method_call(destination, path, interface, method);
        if (!message) return nullptr;
        for (const char*& argument : arguments) dbus_message_append_args(message, DBUS_TYPE_STRING, &argument, DBUS_TYPE_INVALID);
        DBusError error;
        dbus_error_init(&error);
        DBusMessage* reply = dbus_connection_send_with_reply_and_block(connection, message, 5000, &error);
        dbus_message_unref(message);
        dbus_error_free(&error);
        return reply ? std::shared_ptr<DBusMessage>(reply, dbus_message_unref) : nullptr;
    }
    DBusConnection* connection = nullptr;
};

// The string a reply holds first, inside a variant or not.
std::optional<std::string> replyString(const std::shared_ptr<DBusMessage>& reply) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply.get(), &iter)) return std::nullopt;
    DBusMessageIter inner;
    if (dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&iter, &inner);
        iter = inner;
    }
    if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRING) return std::nullopt;
    const char* text = nullptr;
    dbus_message_iter_get_basic(&iter, &text);
    return std::string(text);
}

} // namespace

std::vector<std::string> accessibleNames(const std::string& sessionBus, pid_t pid) {
    const BusConnection session(sessionBus);
    if (!session.connection) return {};
    const auto address = replyString(session.call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
    if (!address) return {};
    const BusConnection bus(*address);
    if (!bus.connection) return {};
    // The program's connection to the accessibility bus, found by its process.
    std::string owner;
    DBusMessageIter iter, names;
    const auto listed = bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames");
    if (!listed || !dbus_message_iter_init(listed.get(), &iter)) return {};
    for (dbus_message_iter_recurse(&iter, &names); dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
         dbus_message_iter_next(&names)) {
        const char* name = nullptr;
        dbus_message_iter_get_basic(&names, &name);
        const auto reply = bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "GetConnectionUnixProcessID", {name});
        dbus_uint32_t found = 0;
        if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &found, DBUS_TYPE_INVALID) &&
            static_cast<pid_t>(found) == pid && name[0] == ':')
            owner = name;
    }
    if (owner.empty()) return {};
    // Walks the objects breadth first from the root, as a screen reader would; a bound keeps a
    // cycle or a huge model from running on.
    std::vector<std::string> result;
    std::vector<std::string> paths{"/org/a11y/atspi/accessible/root"};
    for (std::size_t next = 0; next < paths.size() && next < 5000; ++next) {
        const char* path = paths[next].c_str();
        if (const auto name = replyString(
                bus.call(owner.c_str(), path, "org.freedesktop.DBus.Properties", "Get", {"org.a11y.atspi.Accessible", "Name"})))
            result.push_back(*name);
        const auto children = bus.call(owner.c_str(), path, "org.a11y.atspi.Accessible", "GetChildren");
        DBusMessageIter list, entry, field;
        if (!children || !dbus_message_iter_init(children.get(), &list) ||
            dbus_message_iter_get_arg_type(&list) != DBUS_TYPE_ARRAY)
            continue;
        for (dbus_message_iter_recurse(&list, &entry); dbus_message_iter_get_arg_type(&entry) == DBUS_TYPE_STRUCT;
             dbus_message_iter_next(&entry)) {
            dbus_message_iter_recurse(&entry, &field);
            dbus_message_iter_next(&field);
            const char* child = nullptr;
            if (dbus_message_iter_get_arg_type(&field) == DBUS_TYPE_OBJECT_PATH) dbus_message_iter_get_basic(&field, &child);
            if (child && std::string_view(child) != "/org/a11y/atspi/null") paths.emplace_back(child);
        }
    }
    return result;
}

std::optional<long> residentKiB(pid_t pid) {
    std::istringstream lines(fileText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return std::nullopt;
}

} // namespace tavlin::e2e
