#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "shortcutkit/Keys.h"

namespace tavlin::shortcutkit {

// The name a shortcut is stored under, with the shortcut a fresh installation gets. Names are
// equal when their texts are, whatever their defaults.
struct Name {
    std::string rawValue;
    std::optional<Shortcut> defaultShortcut;

    // A name without default, with no effect on the store.
    explicit Name(std::string rawValue);
    // With a default: stores it when nothing at all is stored under the name yet.
    Name(std::string rawValue, std::optional<Shortcut> defaultShortcut);

    // The stored shortcut of the name.
    std::optional<Shortcut> shortcut() const;

    friend bool operator==(const Name& left, const Name& right) { return left.rawValue == right.rawValue; }
};

// Whether a shortcut is pressed or released.
enum class EventType { keyDown, keyUp };

struct NameHash {
    std::size_t operator()(const Name& name) const noexcept { return std::hash<std::string>{}(name.rawValue); }
};

struct ShortcutHash {
    std::size_t operator()(const Shortcut& shortcut) const noexcept {
        return std::hash<std::int64_t>{}(shortcut.carbonKeyCode) * 31 + std::hash<std::int64_t>{}(shortcut.carbonModifiers);
    }
};

} // namespace tavlin::shortcutkit
