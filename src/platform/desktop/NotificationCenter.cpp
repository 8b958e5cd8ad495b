#include "platform/desktop/NotificationCenter.h"

#include <cassert>
#include <vector>

#include "platform/base/MainQueue.h"

namespace tavlin {
namespace {

DistributedNotificationCenter*& sharedDistributed() {
    static DistributedNotificationCenter* center = nullptr;
    return center;
}

} // namespace

void deliverToObservers(const NamedObservers& observers, const Notification& notification) {
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, entry] : observers) {
        if (entry.name == notification.name) tokens.push_back(token);
    }
    for (const auto token : tokens) {
        const auto found = observers.find(token);
        if (found == observers.end()) continue;
        const auto observer = found->second.observer;
        observer(notification);
    }
}

NotificationCenter& NotificationCenter::local() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, NamedObserver{std::move(name), std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token) { observers_.erase(token); }

void NotificationCenter::post(const Notification& notification) { deliverToObservers(observers_, notification); }

DistributedNotificationCenter& DistributedNotificationCenter::shared() {
    assert(sharedDistributed() && "the distributed centre is installed at start-up");
    return *sharedDistributed();
}

void DistributedNotificationCenter::setShared(DistributedNotificationCenter* center) { sharedDistributed() = center; }

void LoopbackDistributedNotificationCenter::post(const Notification& notification) {
    posted_.push_back(notification);
    Notification received = notification;
    received.receivedAt = MainQueue::shared().now();
    MainQueue::shared().post([this, received] { deliverToObservers(observers_, received); });
}

LoopbackDistributedNotificationCenter::Token LoopbackDistributedNotificationCenter::addObserver(const std::string& name,
                                                                                                Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, NamedObserver{name, std::move(observer)});
    return token;
}

void LoopbackDistributedNotificationCenter::removeObserver(Token token) { observers_.erase(token); }

} // namespace tavlin
