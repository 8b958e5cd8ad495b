#include "engine/Notifications.h"

#include "platform/base/Diagnostics.h"

namespace tavlin {
namespace {

std::string encodedText(const json::Value& value) { return json::encode(value, json::Style::pretty); }

template <typename T, typename Decode>
std::optional<T> decodeNotification(const Notification& notification, std::string_view name, Decode decode) {
    if (notification.name != name || !notification.object) {
        diag::printLimited(diag::Category::bus, "undecodable notification", "");
        return std::nullopt;
    }
    try {
        return decodeJson(*notification.object, decode);
    } catch (const std::exception&) {
        diag::printLimited(diag::Category::bus, "undecodable notification", "");
        return std::nullopt;
    }
}

void putOptional(json::Value& object, const char* key, const std::optional<std::string>& value) {
    if (value) object[key] = *value;
}

} // namespace

Notification notification(const ActionOutcome& outcome) {
    return {std::string(notificationNames::actionOutcomeEvent), encodedText(outcome.toJson())};
}

std::optional<ActionOutcome> actionOutcome(const Notification& received) {
    return decodeNotification<ActionOutcome>(received, notificationNames::actionOutcomeEvent,
                                             [](const JsonReader& reader) { return ActionOutcome::fromJson(reader); });
}

namespace tavlinNotifications {

std::string ExternalEvent::description() const {
    if (const auto* start = get<startKeySequence>()) {
        return "startKeySequence(hotKeyCode: " + std::to_string(start->info.hotKeyCode) +
               ", hotKeyModifiers: " + std::to_string(start->info.hotKeyModifiers) +
               ", endAutomatically: " + (start->info.endAutomatically ? "true" : "false") + ")";
    }
    if (const auto* type = get<typeKey>()) return "typeKey(keyCode: " + std::to_string(type->info.keyCode) + ")";
    return "endKeySequence";
}

json::Value ExternalEvent::toJson() const {
    json::Value value = json::Value::object();
    if (const auto* start = get<startKeySequence>()) {
        auto& info = value["start_key_sequence"]["info"];
        info["hotKeyCode"] = start->info.hotKeyCode;
        info["hotKeyModifiers"] = start->info.hotKeyModifiers;
        info["endAutomatically"] = start->info.endAutomatically;
    } else if (const auto* type = get<typeKey>()) {
        value["type_key"]["info"]["keyCode"] = type->info.keyCode;
    } else {
        value["end_key_sequence"] = json::Value::object();
    }
    return value;
}

ExternalEvent ExternalEvent::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("tavlinNotifications.ExternalEvent",
                                        {"start_key_sequence", "type_key", "end_key_sequence"});
    const JsonReader payload = reader.member(caseKey).requireObject("Dictionary");
    if (caseKey == "end_key_sequence") return endKeySequence{};
    const JsonReader info = payload.member("info", "Dictionary").requireObject("Dictionary");
    if (caseKey == "type_key") return typeKey{{info.member("keyCode", "Int").int64()}};
    return startKeySequence{{info.member("hotKeyCode", "Int").int64(), info.member("hotKeyModifiers", "Int").int64(),
                             info.booleanMember("endAutomatically")}};
}

Notification ExternalEvent::notification() const {
    return {std::string(notificationNames::externalEvent), encodedText(toJson())};
}

std::optional<ExternalEvent> ExternalEvent::fromNotification(const Notification& received) {
    return decodeNotification<ExternalEvent>(received, notificationNames::externalEvent,
                                             [](const JsonReader& reader) { return ExternalEvent::fromJson(reader); });
}

void postDistributed(const Notification& notification) { DistributedNotificationCenter::shared().post(notification); }

} // namespace tavlinNotifications

json::Value HelperAction::toJson() const {
    json::Value value = json::Value::object();
    std::visit(
        [&value](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, menu>) {
                value["menu"]["menuItems"] = c.menuItems;
            } else if constexpr (std::is_same_v<T, menuCommand>) {
                value["menuCommand"]["info"]["menuTitle"] = c.info.menuTitle;
            } else if constexpr (std::is_same_v<T, openURL>) {
                auto& payload = value["openURL"];
                payload["url"] = c.url;
                putOptional(payload, "applicationPath", c.applicationPath);
            } else if constexpr (std::is_same_v<T, launchApp>) {
                auto& payload = value["launchApp"];
                payload["path"] = c.path;
                putOptional(payload, "launchArgumentsText", c.launchArgumentsText);
            } else if constexpr (std::is_same_v<T, executeFile>) {
                auto& payload = value["executeFile"];
                payload["path"] = c.path;
                putOptional(payload, "argumentsText", c.argumentsText);
            } else if constexpr (std::is_same_v<T, simulateKeystroke>) {
                value["simulateKeystroke"]["code"] = c.code;
            } else if constexpr (std::is_same_v<T, switchInputMethod>) {
                value["switchInputMethod"]["inputSourceID"] = c.inputSourceID;
            } else if constexpr (std::is_same_v<T, switchWindow>) {
                value["switchWindow"] = json::Value::object();
            } else {
                value["sleep"] = json::Value::object();
            }
        },
        value_);
    return value;
}

HelperAction HelperAction::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("HelperAction", {"menu", "menuCommand", "openURL", "launchApp", "executeFile",
                                                         "simulateKeystroke", "switchInputMethod", "switchWindow", "sleep"});
    const JsonReader p = reader.member(caseKey).requireObject("Dictionary");
    if (caseKey == "menu") {
        std::vector<std::string> items;
        for (const auto& element : p.member("menuItems", "Array").elements()) items.push_back(element.string());
        return menu{std::move(items)};
    }
    if (caseKey == "menuCommand") return menuCommand{{p.member("info", "Dictionary").stringMember("menuTitle")}};
    if (caseKey == "openURL") return openURL{p.stringMember("url"), p.optionalStringMember("applicationPath")};
    if (caseKey == "launchApp") return launchApp{p.stringMember("path"), p.optionalStringMember("launchArgumentsText")};
    if (caseKey == "executeFile") return executeFile{p.stringMember("path"), p.optionalStringMember("argumentsText")};
    if (caseKey == "simulateKeystroke") return simulateKeystroke{p.member("code", "Int").int64()};
    if (caseKey == "switchInputMethod") return switchInputMethod{p.stringMember("inputSourceID")};
    if (caseKey == "switchWindow") return switchWindow{};
    return sleep{};
}

Notification HelperAction::notification() const {
    return {std::string(notificationNames::helperActionEvent), encodedText(toJson())};
}

void postToHelper(const HelperAction& action) { tavlinNotifications::postDistributed(action.notification()); }

} // namespace tavlin
