#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QtDBus/QDBusConnection>

#include "app/InstanceHandOver.h"

namespace tavlin::app {

class ApplicationBusObject;

// One running application per session: it owns the bus name "local.tavlin" and answers
// Activate and OpenURL on /local/tavlin/Application (interface local.tavlin.Application).
class SingleInstance {
public:
    static constexpr const char* serviceName = instanceHandOver::serviceName;
    static constexpr const char* objectPath = instanceHandOver::objectPath;
    static constexpr const char* interfaceName = instanceHandOver::interfaceName;

    struct Handlers {
        std::function<void()> activate;
        std::function<void(const std::string& url)> openURL;
    };

    explicit SingleInstance(QDBusConnection connection);
    ~SingleInstance();

    enum class Claim { owned, heldByAnother, noBus };
    // Takes the name unless another process holds it (never waits in a queue for it).
    Claim claim(Handlers handlers);
    // Claims the name again on another connection (the bus came back), with the same handlers.
    Claim claimOn(QDBusConnection connection);
    bool isConnected() const { return connection_.isConnected(); }

    // Hands the start over to the running application: the URL when there is one, else an
    // activation. False when it does not answer; while the bus is there, a name without owner
    // is asked again until `waitForOwner` has passed (an instance that is claiming it).
    bool forward(const std::string& url, std::chrono::milliseconds waitForOwner = {});

private:
    bool forwardOnce(const std::string& url);

    QDBusConnection connection_;
    Handlers handlers_;
    std::unique_ptr<ApplicationBusObject> object_;
};

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
