#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/Action.h"
#include "model/ActionOutcome.h"
#include "platform/desktop/NotificationCenter.h"

namespace tavlin {

namespace notificationNames {
inline constexpr std::string_view externalEvent = "local.tavlin.notification_names.external_event";
inline constexpr std::string_view actionOutcomeEvent = "local.tavlin.notification_names.action_outcome_event";
inline constexpr std::string_view helperActionEvent = "local.tavlin.notification_names.helper_action_event";
} // namespace notificationNames

// The notification that carries an outcome: its JSON text under the action-outcome name.
Notification notification(const ActionOutcome& outcome);
// The outcome a received notification carries; nothing (and an empty line) otherwise.
std::optional<ActionOutcome> actionOutcome(const Notification& notification);
// Posts the outcome on the local centre; observers have run when this returns.
void post(const ActionOutcome& outcome);

// The payload types of the program's distributed notifications.
namespace tavlinNotifications {

// Events by which other programs start, feed and end a key sequence.
class ExternalEvent {
public:
    struct StartInfo {
        std::int64_t hotKeyCode;
        std::int64_t hotKeyModifiers;
        bool endAutomatically;
    };
    struct TypeKeyInfo {
        std::int64_t keyCode;
    };
    struct startKeySequence {
        StartInfo info;
    };
    struct typeKey {
        TypeKeyInfo info;
    };
    struct endKeySequence {};

    ExternalEvent(startKeySequence value) : value_(value) {}
    ExternalEvent(typeKey value) : value_(value) {}
    ExternalEvent(endKeySequence value) : value_(value) {}

    template <typename Case>
    const Case* get() const {
        return std::get_if<Case>(&value_);
    }

    std::string description() const;
    json::Value toJson() const;
    static ExternalEvent fromJson(const JsonReader& reader);

    tavlin::Notification notification() const;
    // The event a received notification carries; nothing (and an empty line) otherwise.
    static std::optional<ExternalEvent> fromNotification(const tavlin::Notification& notification);

private:
    std::variant<startKeySequence, typeKey, endKeySequence> value_;
};

// Posts on the session's distributed centre: the name, the object, delivered at once.
void postDistributed(const tavlin::Notification& notification);

} // namespace tavlinNotifications

// A request to the helper application, which carries out what this program does not.
class HelperAction {
public:
    struct MenuCommandInfo {
        std::string menuTitle;
        friend bool operator==(const MenuCommandInfo&, const MenuCommandInfo&) = default;
    };
    struct menu {
        std::vector<std::string> menuItems;
    };
    struct menuCommand {
        MenuCommandInfo info;
    };
    struct openURL {
        std::string url; // absolute URL text; a folder's file URL ends in "/"
        std::optional<std::string> applicationPath;
    };
    struct launchApp {
        std::string path;
        std::optional<std::string> launchArgumentsText;
    };
    struct executeFile {
        std::string path;
        std::optional<std::string> argumentsText;
    };
    struct simulateKeystroke {
        std::int64_t code;
    };
    struct switchInputMethod {
        std::string inputSourceID;
    };
    struct switchWindow {};
    struct sleep {};

    using Value = std::variant<menu, menuCommand, openURL, launchApp, executeFile, simulateKeystroke, switchInputMethod,
                               switchWindow, sleep>;

    template <typename Case>
    HelperAction(Case value) requires std::is_constructible_v<Value, Case> : value_(std::move(value)) {}

    const Value& value() const { return value_; }
    json::Value toJson() const;
    static HelperAction fromJson(const JsonReader& reader);
    tavlin::Notification notification() const;

private:
    Value value_;
};

// Sends a request to the helper: fire-and-forget.
void postToHelper(const HelperAction& action);

} // namespace tavlin
