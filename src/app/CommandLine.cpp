#include "app/CommandLine.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <locale.h>

#include "platform/dbus/SessionBusPoster.h"
#include "platform/text/Utf8.h"

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
    // Its truncation in [-2^63, 2^63): as no double lies between -2^63 - 1 and -2^63, the same
    // bounds hold for the value (both exact doubles; not a number fails them). The conversion
    // truncates toward zero without the maths library, which the client then need not load.
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

// A JSON string as the shared encoder writes it: ill-formed UTF-8 replaced, '"', '\\', '/'
// and control characters escaped, the rest as it is.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : utf8::makeValid(text)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
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

// The texts the engine's messages encode to, written here so that the client links neither
// the engine nor a JSON library: the client must start as fast as the bus's own tools
// (bench/cli_post_cost.sh), and the tests hold these texts to the engine's byte for byte.
Notification commandNotification(const CommandLineCommand& command) {
    constexpr const char* actionOutcomeEvent = "local.tavlin.notification_names.action_outcome_event";
    constexpr const char* externalEvent = "local.tavlin.notification_names.external_event";
    if (const auto* message = command.get<CommandLineCommand::message>()) {
        std::string object = "{\n  \"message\" : {\n    \"text\" : ";
        appendQuoted(object, message->text);
        object += "\n  }\n}";
        return {actionOutcomeEvent, std::move(object)};
    }
    if (const auto* key = command.get<CommandLineCommand::key>()) {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, key->keyCode);
        std::string object = "{\n  \"type_key\" : {\n    \"info\" : {\n      \"keyCode\" : ";
        object.append(digits, written.ptr);
        object += "\n    }\n  }\n}";
        return {externalEvent, std::move(object)};
    }
    if (command.get<CommandLineCommand::start>()) {
        // As if the Space leader key without modifiers had been pressed.
        return {externalEvent,
                "{\n  \"start_key_sequence\" : {\n    \"info\" : {\n      \"hotKeyCode\" : 49,\n"
                "      \"hotKeyModifiers\" : 0,\n      \"endAutomatically\" : true\n    }\n  }\n}"};
    }
    return {externalEvent, "{\n  \"end_key_sequence\" : {}\n}"};
}

int runCommandLineClient(const CommandLineCommand& command) {
    std::string whyNot;
    if (!sessionBus::postNotification(commandNotification(command), &whyNot)) {
        std::fprintf(stderr, "tavlin: the session bus is not reachable, nothing was posted: %s\n", whyNot.c_str());
    }
    return 0;
}

} // namespace tavlin
