#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tavlin::HelperApp {

// Makes sure the helper application runs: when it does not, starts the application registered
// for "tavlinhelper://", if any. A failure to start it arrives later as a user notification.
void open();

// Where the application registered for a URL scheme lives (its desktop entry); replaceable by
// tests. The default reads the desktop's URL-scheme associations.
using DefaultApplicationLookup = std::function<std::optional<std::string>(const std::string& scheme)>;
void setDefaultApplicationLookup(DefaultApplicationLookup lookup);

} // namespace tavlin::HelperApp
