#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/desktop/NotificationCenter.h"

namespace tavlin {

// Notifications received on one thread and handled on another, first in, first out. It is
// bounded: beyond its limits the oldest are dropped (and counted), so a flood from another
// process can neither grow this one without end nor keep it busy with what is long past.
// Safe to use from any thread.
class NotificationInbox {
public:
    using Clock = std::chrono::steady_clock;
    struct Limits {
        std::size_t messages = 4096;
        std::size_t bytes = 16u << 20; // of names and objects
    };
    struct Received {
        Notification notification;
        Clock::time_point receivedAt;
    };

    NotificationInbox() : NotificationInbox(Limits{}) {}
    explicit NotificationInbox(Limits limits) : limits_(limits) {}

    // Answers true when the inbox was empty before: the receiver then asks for a drain.
    bool push(Notification notification, Clock::time_point receivedAt = Clock::now());
    // The oldest one, nothing when empty.
    std::optional<Received> pop();
    bool empty() const;
    // How many were dropped since the last call.
    std::size_t takeDropped();

private:
    static std::size_t sizeOf(const Notification& notification);

    const Limits limits_;
    mutable std::mutex mutex_;
    std::deque<Received> queue_;
    std::size_t bytes_ = 0;
    std::size_t dropped_ = 0;
};

} // namespace tavlin
