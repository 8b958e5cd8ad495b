#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/desktop/NotificationCenter.h"

namespace tavlin {

// What the arguments ask of the command-line client. No command means: start the application.
class CommandLineCommand {
public:
    struct message {
        std::string text;
        friend bool operator==(const message&, const message&) = default;
    };
    struct key {
        std::int64_t keyCode = 0;
        friend bool operator==(const key&, const key&) = default;
    };
    struct start {
        friend bool operator==(const start&, const start&) = default;
    };
    struct end {
        friend bool operator==(const end&, const end&) = default;
    };

    CommandLineCommand(message value) : value_(std::move(value)) {}
    CommandLineCommand(key value) : value_(value) {}
    CommandLineCommand(start value) : value_(value) {}
    CommandLineCommand(end value) : value_(value) {}

    template <typename Case>
    const Case* get() const {
        return std::get_if<Case>(&value_);
    }

    friend bool operator==(const CommandLineCommand&, const CommandLineCommand&) = default;

private:
    std::variant<message, key, start, end> value_;
};

// Reads the full argument list (element 0, the executable, is only counted):
//   message T        -> message T (T may be empty)
//   ke start | ke end -> start | end
//   ke key N         -> key, N read by strtod in the C locale, whole text, truncated toward zero
// Words match exactly. Anything else, a number that does not parse, or one that is not finite
// or outside the signed 64-bit range, is no command.
std::optional<CommandLineCommand> parseCommandLine(const std::vector<std::string>& arguments);
std::optional<CommandLineCommand> parseCommandLine(int argc, const char* const* argv);

// The distributed notification that carries the command to the running instance.
Notification commandNotification(const CommandLineCommand& command);

// Posts the command's notification on the session bus and answers the exit status, which is 0
// whatever happens: posting has no result a caller could act on. Standard output stays empty;
// an unreachable bus is named in one line on standard error.
int runCommandLineClient(const CommandLineCommand& command);

} // namespace tavlin
