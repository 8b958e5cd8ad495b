#pragma once

#include <cstdint>
#include <string>

#include "platform/base/Hasher.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

// A key press to type: one main key and the four modifiers.
struct Keystroke {
    std::int64_t mainKeyCode = 0;
    bool cmd = false;
    bool shift = false;
    bool option = false;
    bool control = false;

    // "⌘ ⇧ A": each modifier's symbol and a blank (command, shift, option, control), then the
    // key's name, or its code when the key has no name.
    std::string description() const;
    // "Super+Shift+A": what a person reads, in this desktop's words.
    std::string shownText() const;

    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static Keystroke fromJson(const JsonReader& reader);

    void hash(Hasher& hasher) const;
    friend bool operator==(const Keystroke&, const Keystroke&) = default;
};

} // namespace tavlin
