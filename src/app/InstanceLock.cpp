#include "app/InstanceLock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"

namespace tavlin::app {

namespace {

// Only characters safe in a file name.
std::string fileNamePart(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    return text;
}

// "[unix/][host]:number[.screen]": the host only when it is another machine, and the number.
std::string spelledDisplay(std::string display) {
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return display;
    if (const auto dot = display.find('.', colon); dot != std::string::npos) display.resize(dot);
    std::string host = display.substr(0, colon);
    if (host.rfind("unix/", 0) == 0) host.erase(0, 5);
    if (host == "unix") host.clear();
    return host + display.substr(colon);
}

// What the server's end of the connection is bound to: its socket "/tmp/.X11-unix/X<n>" (or the
// abstract one of that name) is display n of this machine.
std::optional<std::string> peerDisplay(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (socket < 0 || ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return std::nullopt;
    if (address.ss_family == AF_UNIX) {
        const auto& local = reinterpret_cast<const sockaddr_un&>(address);
        const auto size = std::min<std::size_t>(length - offsetof(sockaddr_un, sun_path), sizeof local.sun_path);
        std::string path(local.sun_path, size);
        if (!path.empty() && path.front() == '\0') path.erase(0, 1);
        path.resize(::strnlen(path.c_str(), path.size()));
        const std::string name = path.substr(path.rfind('/') + 1);
        if (name.size() > 1 && name[0] == 'X' &&
            std::all_of(name.begin() + 1, name.end(), [](unsigned char c) { return std::isdigit(c); }))
            return ":" + name.substr(1);
        if (path.empty()) return std::nullopt;
        return path;
    }
    char host[INET6_ADDRSTRLEN] = {};
    int port = 0;
    if (address.ss_family == AF_INET) {
        const auto& ip = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &ip.sin_addr, host, sizeof host);
        port = ntohs(ip.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& ip = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &ip.sin6_addr, host, sizeof host);
        port = ntohs(ip.sin6_port);
    } else {
        return std::nullopt;
    }
    // X servers listen on 6000 + their number.
    return std::string(host) + ":" + std::to_string(port - 6000);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

constexpr int heldElsewhere = -2;

// The descriptor of the locked file; -1 when it cannot be opened or locked (one line says why),
// `heldElsewhere` when another process holds it.
int lockFile(const std::filesystem::path& path) {
    try {
        files::createDirectories(path.parent_path());
    } catch (const FileError&) {
        // Opening the file reports it.
    }
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (descriptor < 0) {
        diag::printLine("tavlin: cannot open the instance lock " + path.string() + ": " + std::strerror(errno));
        return -1;
    }
    // Another user's file, in a folder open to others, would let that user keep us from starting.
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        ::close(descriptor);
        diag::printLine("tavlin: the instance lock " + path.string() + " is not a file of this user's; it is not used");
        return -1;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor);
        if (error == EWOULDBLOCK) return heldElsewhere;
        diag::printLine("tavlin: cannot lock " + path.string() + ": " + std::strerror(error));
        return -1;
    }
    return descriptor;
}

} // namespace

InstanceLock::~InstanceLock() {
    for (const int descriptor : descriptors_) ::close(descriptor);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : descriptors_(std::exchange(other.descriptors_, {})) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        for (const int descriptor : descriptors_) ::close(descriptor);
        descriptors_ = std::exchange(other.descriptors_, {});
    }
    return *this;
}

std::string InstanceLock::displayName(int socket, const std::string& spelled) {
    return fileNamePart(peerDisplay(socket).value_or(spelledDisplay(spelled)));
}

std::vector<std::filesystem::path> InstanceLock::files(const std::string& display) {
    const std::string name = std::string(bundleIdentifier) + "-display" + display;
    std::vector<std::filesystem::path> found;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        found.push_back(std::filesystem::path(runtime) / (name + ".lock"));
    // The settings folder may be shared by several machines, each with a display of that number.
    if (const auto config = files::configDirectory())
        found.push_back(*config / std::string(bundleIdentifier) / (name + "-" + fileNamePart(hostName()) + ".lock"));
    return found;
}

InstanceLock::State InstanceLock::acquire(const std::string& display) {
    if (!descriptors_.empty()) return State::held;
    const auto paths = files(display);
    if (paths.empty()) {
        diag::printLine("tavlin: no folder for the instance lock: another instance could run beside this one");
        return State::unavailable;
    }
    for (const auto& path : paths) {
        const int descriptor = lockFile(path);
        if (descriptor == heldElsewhere) {
            for (const int held : std::exchange(descriptors_, {})) ::close(held);
            return State::heldByAnother;
        }
        if (descriptor >= 0) descriptors_.push_back(descriptor);
    }
    return descriptors_.empty() ? State::unavailable : State::held;
}

} // namespace tavlin::app
