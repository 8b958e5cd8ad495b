#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// A named message whose object, when present, is a text (the programs exchange JSON texts).
// The user info is for observers in this process only: it never goes on the bus.
struct Notification {
    std::string name;
    std::optional<std::string> object;
    std::any userInfo{};
    // When it reached this process, on the main queue's clock; nothing for a post made here.
    std::optional<double> receivedAt{};
};

// An observer registered for one notification name.
struct NamedObserver {
    std::string name;
    std::function<void(const Notification&)> observer;
};
using NamedObservers = std::map<std::uint64_t, NamedObserver>;

// Calls the observers registered for the notification's name, in registration order. An
// observer may add or remove observers (itself included) while it runs: each one is looked up
// again before it is called, and a copy is called.
void deliverToObservers(const NamedObservers& observers, const Notification& notification);

// The in-process notification centre: delivery is synchronous, so observers have run when
// post() returns.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    static NotificationCenter& local();

    Token addObserver(std::string name, Observer observer);
    void removeObserver(Token token);
    void post(const Notification& notification);

private:
    NamedObservers observers_;
    Token nextToken_ = 1;
};

// The centre shared by the processes of one user session. Posting is fire-and-forget;
// observers are called on the main queue.
class DistributedNotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    virtual ~DistributedNotificationCenter() = default;
    virtual void post(const Notification& notification) = 0;
    virtual Token addObserver(const std::string& name, Observer observer) = 0;
    virtual void removeObserver(Token token) = 0;

    // The application installs the session bus's centre; tests a loopback one.
    static DistributedNotificationCenter& shared();
    static void setShared(DistributedNotificationCenter* center);
};

// A distributed centre that stays inside the process: posts are delivered to its observers on
// the main queue, as the real centre delivers them. Tests read what was posted.
class LoopbackDistributedNotificationCenter : public DistributedNotificationCenter {
public:
    void post(const Notification& notification) override;
    Token addObserver(const std::string& name, Observer observer) override;
    void removeObserver(Token token) override;

    const std::vector<Notification>& posted() const { return posted_; }
    void clearPosted() { posted_.clear(); }
    std::size_t observerCount() const { return observers_.size(); }

private:
    NamedObservers observers_;
    Token nextToken_ = 1;
    std::vector<Notification> posted_;
};

} // namespace tavlin
