#include "app/SingleInstance.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

#include "app/ApplicationBusObject.h"
#include "platform/Diagnostics.h"
#include "platform/Files.h"

namespace tavlin::app {

SingleInstance::SingleInstance(QDBusConnection connection) : connection_(std::move(connection)) {}

SingleInstance::~SingleInstance() {
    if (object_) {
        connection_.unregisterObject(QString::fromLatin1(objectPath));
        connection_.unregisterService(QString::fromLatin1(serviceName));
    }
}

SingleInstance::Claim SingleInstance::claim(Handlers handlers) {
    handlers_ = std::move(handlers);
    if (!connection_.isConnected()) return Claim::noBus;
    auto object = std::make_unique<ApplicationBusObject>(handlers_.activate, handlers_.openURL);
    // The object first: a second start that finds the name must find the methods too.
    if (!connection_.registerObject(QString::fromLatin1(objectPath), object.get(), QDBusConnection::ExportAllSlots))
        return Claim::noBus;
    const auto reply = connection_.interface()->registerService(QString::fromLatin1(serviceName),
                                                                QDBusConnectionInterface::DontQueueService,
                                                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        connection_.unregisterObject(QString::fromLatin1(objectPath));
        return Claim::noBus;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        connection_.unregisterObject(QString::fromLatin1(objectPath));
        return Claim::heldByAnother;
    }
    object_ = std::move(object);
    return Claim::owned;
}

SingleInstance::Claim SingleInstance::claimOn(QDBusConnection connection) {
    if (object_) {
        connection_.unregisterObject(QString::fromLatin1(objectPath));
        object_.reset();
    }
    connection_ = std::move(connection);
    return claim(handlers_);
}

bool SingleInstance::forward(const std::string& url, std::chrono::milliseconds waitForOwner) {
    const auto deadline = std::chrono::steady_clock::now() + waitForOwner;
    for (;;) {
        if (forwardOnce(url)) return true;
        if (!connection_.isConnected() || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool SingleInstance::forwardOnce(const std::string& url) {
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                  QString::fromLatin1(interfaceName),
                                                  url.empty() ? QStringLiteral("Activate") : QStringLiteral("OpenURL"));
    if (!url.empty()) message << QString::fromStdString(url);
    const QDBusMessage reply = connection_.call(message, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

InstanceLock::~InstanceLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

std::optional<std::filesystem::path> InstanceLock::file() {
    std::filesystem::path folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        folder = runtime;
    } else if (const auto config = files::configDirectory()) {
        folder = *config / std::string(bundleIdentifier);
    } else {
        return std::nullopt;
    }
    // ":1.0" and ":1" are one display; the name keeps only characters safe in a file name.
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    if (const auto dot = display.rfind('.'); dot != std::string::npos && dot > display.rfind(':')) display.resize(dot);
    for (char& c : display)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    return folder / (std::string(bundleIdentifier) + "-display" + display + ".lock");
}

InstanceLock::State InstanceLock::acquire() {
    if (descriptor_ >= 0) return State::held;
    const auto path = file();
    if (!path) {
        diag::printLine("tavlin: no folder for the instance lock: another instance could run beside this one");
        return State::unavailable;
    }
    try {
        files::createDirectories(path->parent_path());
    } catch (const FileError&) {
        // Opening the file reports it.
    }
    const int descriptor = ::open(path->c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (descriptor < 0) {
        diag::printLine("tavlin: cannot open the instance lock " + path->string() + ": " + std::strerror(errno));
        return State::unavailable;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor);
        if (error == EWOULDBLOCK) return State::heldByAnother;
        diag::printLine("tavlin: cannot lock " + path->string() + ": " + std::strerror(error));
        return State::unavailable;
    }
    descriptor_ = descriptor;
    return State::held;
}

} // namespace tavlin::app
