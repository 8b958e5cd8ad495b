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
// The application registered for `scheme`, through that lookup.
std::optional<std::string> registeredApplicationFor(const std::string& scheme);

} // namespace tavlin::HelperApp
