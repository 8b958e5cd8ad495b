#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavlin::HelperApp {

// Whether the helper runs: it owns its name on the session bus ("local.tavlin-helper"), or a
// window of the application with that identity is open.
bool isRunning();

// Makes sure the helper application runs: when it does not, starts the application registered
// for "tavlinhelper://", if any. A failure to start it arrives later as a user notification.
void open();

// Where the application registered for a URL scheme lives (its desktop entry); replaceable by
// tests. The default reads the desktop's URL-scheme associations.
using DefaultApplicationLookup = std::function<std::optional<std::string>(const std::string& scheme)>;
void setDefaultApplicationLookup(DefaultApplicationLookup lookup);
// The application registered for `scheme`, through that lookup. The desktop's associations are
// read off the main thread: until they are, the default lookup answers nothing.
std::optional<std::string> registeredApplicationFor(const std::string& scheme);
// Calls `answer` on the main thread with the application registered for `scheme` once the
// associations are read (at once when they are, or the lookup is replaced); never when they
// cannot be read.
void whenRegistered(const std::string& scheme, std::function<void(std::optional<std::string>)> answer);

} // namespace tavlin::HelperApp
