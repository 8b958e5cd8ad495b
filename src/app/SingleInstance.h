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
#include "app/InstanceLock.h"

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

} // namespace tavlin::app
