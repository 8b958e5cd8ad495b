#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How distributed notifications travel on the session bus. Other programs (the helper
// application, scripts using dbus-send) depend on this form, so it is fixed:
//   a broadcast signal, path objectPath, interface interfaceName, member memberName,
//   arguments (s name, s object); an empty object string stands for "no object".
namespace tavlin::distributedWire {

inline constexpr const char* objectPath = "/local/tavlin/DistributedNotificationCenter";
inline constexpr const char* interfaceName = "local.tavlin.DistributedNotificationCenter";
inline constexpr const char* memberName = "Post";
inline constexpr const char* signature = "ss";

// Our objects are small JSON texts. Larger ones are neither sent nor accepted, so a stray
// giant message costs a receiver one diagnostic line rather than its memory.
inline constexpr std::size_t maximumObjectBytes = std::size_t{1024} * 1024;

// A D-Bus string must be UTF-8 without NUL, or the bus drops the sender's connection (and
// libdbus aborts on the attempt): ill-formed sequences and NULs become U+FFFD.
std::string wireText(std::string_view text);

// The object argument for a notification's object: the empty string for none. An empty text
// is not JSON, so no object that a receiver could decode is lost by this.
std::string wireObject(const std::optional<std::string>& object);
// The notification object for a received object argument.
std::optional<std::string> objectFromWire(std::string object);

} // namespace tavlin::distributedWire
