#include "QtTestSession.h"

#include <memory>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include "SessionBusTestSupport.h"

namespace tavlin::test {
namespace {

// One private bus and one QCoreApplication for the whole program: QtDBus binds its session
// connection to the first address it sees, and wants an application object.
class QtSessionEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        bus_ = std::make_unique<PrivateSessionBus>();
        application_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
    void TearDown() override {
        application_.reset();
        bus_.reset();
    }
    const std::string& address() const { return bus_->address(); }

private:
    int argc_ = 1;
    char name_[20] = "platform_dbus_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<QCoreApplication> application_;
};

QtSessionEnvironment* const environment = static_cast<QtSessionEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new QtSessionEnvironment));

} // namespace

const std::string& qtTestBusAddress() { return environment->address(); }

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    // The ticking timer wakes the blocked loop so that the clock is looked at now and then.
    QTimer wake;
    wake.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void spinFor(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    spinUntil([&] { return clock.elapsed() >= duration.count(); }, duration + std::chrono::seconds(1));
}

} // namespace tavlin::test
