#include "platform/NotificationCenter.h"

#include <cassert>
#include <vector>

#include "platform/MainQueue.h"

namespace tavlin {
namespace {

DistributedNotificationCenter*& sharedDistributed() {
    static DistributedNotificationCenter* center = nullptr;
    return center;
}

} // namespace

NotificationCenter& NotificationCenter::local() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, Entry{std::move(name), std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token) { observers_.erase(token); }

void NotificationCenter::post(const Notification& notification) {
    // Observers may add or remove observers while they run: look each one up again before
    // calling it, and never call one that was removed meanwhile.
    std::vector<Token> tokens;
    for (const auto& [token, entry] : observers_) {
        if (entry.name == notification.name) tokens.push_back(token);
    }
    for (const Token token : tokens) {
        const auto found = observers_.find(token);
        if (found == observers_.end()) continue;
        const Observer observer = found->second.observer;
        observer(notification);
    }
}

DistributedNotificationCenter& DistributedNotificationCenter::shared() {
    assert(sharedDistributed() && "the distributed centre is installed at start-up");
    return *sharedDistributed();
}

void DistributedNotificationCenter::setShared(DistributedNotificationCenter* center) { sharedDistributed() = center; }

void LoopbackDistributedNotificationCenter::post(const Notification& notification) {
    posted_.push_back(notification);
    MainQueue::shared().post([this, notification] {
        std::vector<Token> tokens;
        for (const auto& [token, entry] : observers_) {
            if (entry.first == notification.name) tokens.push_back(token);
        }
        for (const Token token : tokens) {
            const auto found = observers_.find(token);
            if (found == observers_.end()) continue;
            const Observer observer = found->second.second;
            observer(notification);
        }
    });
}

LoopbackDistributedNotificationCenter::Token LoopbackDistributedNotificationCenter::addObserver(const std::string& name,
                                                                                               Observer observer) {
    const Token token = nextToken_++;
    observers_.emplace(token, std::make_pair(name, std::move(observer)));
    return token;
}

void LoopbackDistributedNotificationCenter::removeObserver(Token token) { observers_.erase(token); }

} // namespace tavlin
