#include "platform/desktop/NotificationInbox.h"

namespace tavlin {

std::size_t NotificationInbox::sizeOf(const Notification& notification) {
    return notification.name.size() + (notification.object ? notification.object->size() : 0);
}

bool NotificationInbox::push(Notification notification, Clock::time_point receivedAt) {
    std::lock_guard lock(mutex_);
    const bool wasEmpty = queue_.empty();
    bytes_ += sizeOf(notification);
    queue_.push_back({std::move(notification), receivedAt});
    // The newest always stays: it is what the sender meant last.
    while (queue_.size() > 1 && (queue_.size() > limits_.messages || bytes_ > limits_.bytes)) {
        bytes_ -= sizeOf(queue_.front().notification);
        queue_.pop_front();
        ++dropped_;
    }
    return wasEmpty;
}

std::optional<NotificationInbox::Received> NotificationInbox::pop() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return std::nullopt;
    Received received = std::move(queue_.front());
    queue_.pop_front();
    bytes_ -= sizeOf(received.notification);
    return received;
}

bool NotificationInbox::empty() const {
    std::lock_guard lock(mutex_);
    return queue_.empty();
}

std::size_t NotificationInbox::takeDropped() {
    std::lock_guard lock(mutex_);
    const std::size_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

} // namespace tavlin
