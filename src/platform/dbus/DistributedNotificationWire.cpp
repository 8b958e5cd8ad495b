#include "platform/dbus/DistributedNotificationWire.h"

#include "platform/text/Utf8.h"

namespace tavlin::distributedWire {

std::string wireText(std::string_view text) {
    std::string valid = utf8::makeValid(text);
    if (valid.find('\0') == std::string::npos) return valid;
    std::string out;
    out.reserve(valid.size() + 8);
    for (const char c : valid) {
        if (c == '\0') out += "\xEF\xBF\xBD";
        else out.push_back(c);
    }
    return out;
}

std::string wireObject(const std::optional<std::string>& object) { return object ? wireText(*object) : std::string(); }

std::optional<std::string> objectFromWire(std::string object) {
    if (object.empty()) return std::nullopt;
    return object;
}

} // namespace tavlin::distributedWire
