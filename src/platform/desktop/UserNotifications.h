#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavlin {

// Banners in the desktop's notification area.
class UserNotificationCenter {
public:
    struct Request {
        std::string identifier;
        std::string title;
        std::optional<std::string> subtitle; // absent, not empty, when there is none
        bool defaultSound = true;
    };

    virtual ~UserNotificationCenter() = default;
    // Asks for permission; the completion gets whether it was granted.
    virtual void requestAuthorization(std::function<void(bool granted)> completion) = 0;
    // Delivers at once; failures are not reported.
    virtual void add(const Request& request) = 0;
    // The same, and `undelivered` runs later on the main thread when no banner could be shown (no
    // notification server, or it refused). A centre that cannot tell never runs it.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): an override keeps it for later.
    virtual void addOrReport(const Request& request, std::function<void()> undelivered) {
        (void)undelivered;
        add(request);
    }

    static UserNotificationCenter& current();
    // Whether a centre is installed (a program without a desktop has none).
    static bool hasCurrent();
    static void setCurrent(UserNotificationCenter* center);
};

} // namespace tavlin
