#include "app/SingleInstance.h"

#include <thread>
#include <utility>

#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

#include "app/ApplicationBusObject.h"

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

} // namespace tavlin::app
