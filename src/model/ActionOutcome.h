#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

// What a key sequence waits for: a key typed in the input window, or a text message.
class ActionOutcome {
public:
    struct key {
        std::int64_t keyCode = 0;
        friend bool operator==(const key&, const key&) = default;
    };
    struct message {
        std::string text;
        friend bool operator==(const message&, const message&) = default;
    };

    ActionOutcome(key value) : value_(value) {}
    ActionOutcome(message value) : value_(std::move(value)) {}

    template <typename Case>
    const Case* get() const {
        return std::get_if<Case>(&value_);
    }

    // "\"Space\" typed" or "\"text\" received".
    std::string description() const;
    // The same with the key as a person reads it ("\"Backspace\" typed"); a message stays as received.
    std::string shownText() const;
    // The hash value: equal outcomes share it within one run.
    std::int64_t id() const;

    json::Value toJson() const;
    static ActionOutcome fromJson(const JsonReader& reader);

    friend bool operator==(const ActionOutcome&, const ActionOutcome&) = default;

private:
    std::variant<key, message> value_;
};

} // namespace tavlin
