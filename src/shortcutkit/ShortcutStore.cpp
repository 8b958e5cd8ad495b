#include "shortcutkit/ShortcutStore.h"

#include <any>
#include <limits>

#include "platform/files/UserDefaults.h"
#include "platform/json/Json.h"
#include "shortcutkit/CarbonShortcutTable.h"

namespace tavlin::shortcutkit {
namespace {

const std::string keyPrefix = "ShortcutKit_";

std::optional<std::int64_t> integer(const json::Value& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    return std::nullopt;
}

// Stored shortcuts leave the table and the bookkeeping; the table takes back what other names
// still need when the operation ends.
void forget(const Shortcut& shortcut) {
    CarbonShortcutTable::unregister(shortcut);
    registeredShortcuts().erase(shortcut);
}

} // namespace

Name::Name(std::string raw) : rawValue(std::move(raw)) {}

Name::Name(std::string raw, std::optional<Shortcut> fallback) : rawValue(std::move(raw)), defaultShortcut(fallback) {
    // A stored false (or anything else, even a value the store cannot read) means the user
    // decided: the default is not written.
    if (defaultShortcut && !UserDefaults::standard()->contains(storageKey(*this))) userDefaultsStore(*defaultShortcut, *this);
}

std::optional<Shortcut> Name::shortcut() const { return getShortcut(*this); }

const Name* changedName(const Notification& notification) {
    if (notification.name != shortcutByNameDidChange) return nullptr;
    return std::any_cast<Name>(&notification.userInfo);
}

std::string storageKey(const Name& name) { return keyPrefix + name.rawValue; }

std::string encodeShortcut(const Shortcut& shortcut) {
    json::Value value = json::Value::object();
    value["carbonKeyCode"] = shortcut.carbonKeyCode;
    value["carbonModifiers"] = shortcut.carbonModifiers;
    return json::encode(value, json::Style::compact);
}

std::optional<Shortcut> decodeShortcut(const std::string& text) {
    try {
        const auto value = json::parse(text);
        if (!value.is_object()) return std::nullopt;
        const auto keyCode = value.find("carbonKeyCode");
        const auto modifiers = value.find("carbonModifiers");
        if (keyCode == value.end() || modifiers == value.end()) return std::nullopt;
        const auto code = integer(*keyCode);
        const auto mask = integer(*modifiers);
        if (!code || !mask) return std::nullopt;
        return Shortcut(*code, *mask);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Shortcut> userDefaultsGet(const Name& name) {
    const auto text = UserDefaults::standard()->string(storageKey(name));
    if (!text) return std::nullopt;
    return decodeShortcut(*text);
}

void userDefaultsStore(const Shortcut& shortcut, const Name& name) {
    const std::string text = encodeShortcut(shortcut);
    if (const auto old = userDefaultsGet(name)) forget(*old);
    registeredShortcuts().insert(shortcut);
    UserDefaults::standard()->set(storageKey(name), text);
    CarbonShortcutTable::synchronize();
    postShortcutByNameDidChange(name);
}

void userDefaultsSet(const std::optional<Shortcut>& shortcut, const Name& name) {
    if (shortcut) {
        userDefaultsStore(*shortcut, name);
        return;
    }
    const auto old = userDefaultsGet(name);
    if (!old) {
        postShortcutByNameDidChange(name);
        return;
    }
    if (name.defaultShortcut) UserDefaults::standard()->set(storageKey(name), false);
    else UserDefaults::standard()->remove(storageKey(name));
    forget(*old);
    CarbonShortcutTable::synchronize();
    postShortcutByNameDidChange(name);
}

std::optional<Shortcut> getShortcut(const Name& name) { return userDefaultsGet(name); }

void setShortcut(const std::optional<Shortcut>& shortcut, const Name& name) { userDefaultsSet(shortcut, name); }

void reset(const std::vector<Name>& names) {
    for (const auto& name : names) userDefaultsSet(name.defaultShortcut, name);
}

void reset(std::initializer_list<Name> names) { reset(std::vector<Name>(names)); }

void postShortcutByNameDidChange(const Name& name) {
    NotificationCenter::local().post(Notification{shortcutByNameDidChange, std::nullopt, name});
}

std::unordered_set<Shortcut, ShortcutHash>& registeredShortcuts() {
    static std::unordered_set<Shortcut, ShortcutHash> shortcuts;
    return shortcuts;
}

} // namespace tavlin::shortcutkit
