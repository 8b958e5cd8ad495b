#include "app/CommandLine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <locale.h>

#include "engine/Notifications.h"
#include "platform/dbus/SessionBusPoster.h"

namespace tavlin {
namespace {

locale_t cLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

std::optional<std::int64_t> keyCode(const std::string& text) {
    if (text.empty()) return std::nullopt;
    switch (text.front()) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r': return std::nullopt;
    default: break;
    }
    char* end = nullptr;
    const double value = ::strtod_l(text.c_str(), &end, cLocale());
    // A NUL inside the text also stops the parse short of the end.
    if (end != text.c_str() + text.size()) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    const double truncated = std::trunc(value);
    // [-2^63, 2^63): both bounds are exact doubles.
    if (truncated < -9223372036854775808.0 || truncated >= 9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(truncated);
}

} // namespace

std::optional<CommandLineCommand> parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.size() == 3) {
        if (arguments[1] == "message") return CommandLineCommand::message{arguments[2]};
        if (arguments[1] == "ke" && arguments[2] == "start") return CommandLineCommand::start{};
        if (arguments[1] == "ke" && arguments[2] == "end") return CommandLineCommand::end{};
        return std::nullopt;
    }
    if (arguments.size() == 4 && arguments[1] == "ke" && arguments[2] == "key") {
        if (const auto code = keyCode(arguments[3])) return CommandLineCommand::key{*code};
    }
    return std::nullopt;
}

std::optional<CommandLineCommand> parseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc && argv[i]; ++i) arguments.emplace_back(argv[i]);
    return parseCommandLine(arguments);
}

Notification commandNotification(const CommandLineCommand& command) {
    using tavlinNotifications::ExternalEvent;
    if (const auto* message = command.get<CommandLineCommand::message>()) {
        return notification(ActionOutcome(ActionOutcome::message{message->text}));
    }
    if (const auto* key = command.get<CommandLineCommand::key>()) {
        return ExternalEvent(ExternalEvent::typeKey{{key->keyCode}}).notification();
    }
    if (command.get<CommandLineCommand::start>()) {
        // As if the Space leader key without modifiers had been pressed.
        return ExternalEvent(ExternalEvent::startKeySequence{{49, 0, true}}).notification();
    }
    return ExternalEvent(ExternalEvent::endKeySequence{}).notification();
}

int runCommandLineClient(const CommandLineCommand& command) {
    std::string whyNot;
    if (!sessionBus::postNotification(commandNotification(command), &whyNot)) {
        std::fprintf(stderr, "tavlin: the session bus is not reachable, nothing was posted: %s\n", whyNot.c_str());
    }
    return 0;
}

} // namespace tavlin
