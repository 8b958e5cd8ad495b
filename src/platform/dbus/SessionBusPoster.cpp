#include "platform/dbus/SessionBusPoster.h"

#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include <dbus/dbus.h>

#include "platform/dbus/DistributedNotificationWire.h"

namespace tavlin::sessionBus {
namespace {

struct ConnectionCloser {
    void operator()(DBusConnection* connection) const {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};

class Error {
public:
    Error() { dbus_error_init(&error_); }
    ~Error() { dbus_error_free(&error_); }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;

    DBusError* get() { return &error_; }
    std::string text() const {
        return dbus_error_is_set(&error_) && error_.message ? std::string(error_.message) : std::string("unknown error");
    }

private:
    DBusError error_;
};

bool fail(std::string* whyNot, std::string reason) {
    if (whyNot) *whyNot = std::move(reason);
    return false;
}

} // namespace

std::optional<std::string> address() {
    if (const char* fromEnvironment = std::getenv("DBUS_SESSION_BUS_ADDRESS"); fromEnvironment && *fromEnvironment) {
        return std::string(fromEnvironment);
    }
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    if (!runtimeDirectory || !*runtimeDirectory) return std::nullopt;
    const std::string socketPath = std::string(runtimeDirectory) + "/bus";
    struct stat status {};
    if (::stat(socketPath.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || status.st_uid != ::getuid()) {
        return std::nullopt;
    }
    char* escaped = dbus_address_escape_value(socketPath.c_str());
    if (!escaped) return std::nullopt;
    std::string result = std::string("unix:path=") + escaped;
    dbus_free(escaped);
    return result;
}

namespace {

using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;

// A private connection: the shared one would stay open after we are done with it.
Connection connect(std::string* whyNot) {
    const auto busAddress = address();
    if (!busAddress) {
        fail(whyNot, "DBUS_SESSION_BUS_ADDRESS is not set and $XDG_RUNTIME_DIR/bus does not exist");
        return nullptr;
    }
    Error error;
    Connection connection(dbus_connection_open_private(busAddress->c_str(), error.get()));
    if (!connection) {
        fail(whyNot, error.text());
        return nullptr;
    }
    // libdbus would otherwise _exit() the process when the bus hangs up.
    dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);
    if (!dbus_bus_register(connection.get(), error.get())) {
        fail(whyNot, error.text());
        return nullptr;
    }
    return connection;
}

} // namespace

bool callOwnedService(const char* service, const char* path, const char* interface, const char* member,
                      const std::optional<std::string>& argument, int timeoutMilliseconds) {
    auto connection = connect(nullptr);
    if (!connection) return false;
    Error error;
    if (!dbus_bus_name_has_owner(connection.get(), service, error.get())) return false;
    std::unique_ptr<DBusMessage, MessageUnref> message(dbus_message_new_method_call(service, path, interface, member));
    if (!message) return false;
    if (argument) {
        const std::string text = distributedWire::wireText(*argument);
        const char* value = text.c_str();
        if (!dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &value, DBUS_TYPE_INVALID)) return false;
    }
    std::unique_ptr<DBusMessage, MessageUnref> reply(
        dbus_connection_send_with_reply_and_block(connection.get(), message.get(), timeoutMilliseconds, error.get()));
    return reply != nullptr;
}

bool postNotification(const Notification& notification, std::string* whyNot) {
    const std::string name = distributedWire::wireText(notification.name);
    const std::string object = distributedWire::wireObject(notification.object);
    if (object.size() > distributedWire::maximumObjectBytes) return fail(whyNot, "the object is larger than 1 MiB");

    auto connection = connect(whyNot);
    if (!connection) return false;

    std::unique_ptr<DBusMessage, MessageUnref> message(
        dbus_message_new_signal(distributedWire::objectPath, distributedWire::interfaceName, distributedWire::memberName));
    if (!message) return fail(whyNot, "out of memory");
    const char* nameArgument = name.c_str();
    const char* objectArgument = object.c_str();
    if (!dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &nameArgument, DBUS_TYPE_STRING, &objectArgument,
                                  DBUS_TYPE_INVALID)) {
        return fail(whyNot, "out of memory");
    }
    if (!dbus_connection_send(connection.get(), message.get(), nullptr)) return fail(whyNot, "out of memory");
    // Without the flush the signal may still sit in our buffer when the process exits.
    dbus_connection_flush(connection.get());
    if (dbus_connection_has_messages_to_send(connection.get())) {
        return fail(whyNot, "the session bus closed the connection before the notification was sent");
    }
    return true;
}

} // namespace tavlin::sessionBus
