#pragma once

#include <functional>
#include <string>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace tavlin::app {

// The running application's methods on the session bus.
class ApplicationBusObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "local.tavlin.Application")

public:
    ApplicationBusObject(std::function<void()> activate, std::function<void(const std::string&)> openURL)
        : activate_(std::move(activate)), openURL_(std::move(openURL)) {}

public Q_SLOTS:
    void Activate() {
        if (activate_) activate_();
    }
    void OpenURL(const QString& url) {
        if (openURL_) openURL_(url.toStdString());
    }

private:
    std::function<void()> activate_;
    std::function<void(const std::string&)> openURL_;
};

} // namespace tavlin::app
