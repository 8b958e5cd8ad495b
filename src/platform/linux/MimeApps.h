#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/DesktopEntry.h"

namespace tavlin::xdg {

// The application registered for URLs of `scheme` (the type "x-scheme-handler/<scheme>"), read
// from the mimeapps.list files as the desktop reads them, without running anything. In order of
// precedence: $XDG_CONFIG_HOME (else ~/.config), each of $XDG_CONFIG_DIRS (else /etc/xdg),
// $XDG_DATA_HOME/applications (else ~/.local/share/applications), each of
// $XDG_DATA_DIRS/applications (else /usr/local/share:/usr/share); in each folder the lists of
// the desktops in $XDG_CURRENT_DESKTOP ("<desktop>-mimeapps.list", lower case) come before
// mimeapps.list. The first installed default wins; without one, the first installed added
// association that no list of equal or higher precedence removes.
//
// The answer is the entry's id in `catalog` (its desktop-file id without ".desktop"). Nothing
// when the scheme is empty or malformed (a letter, then letters, digits, "+", "-", "."), or no
// installed entry is registered for it. Schemes are matched ignoring ASCII case.
std::optional<std::string> defaultDesktopEntryIdForScheme(std::string_view scheme, const DesktopEntryCatalog& catalog);
// The same against the installed entries.
std::optional<std::string> defaultDesktopEntryIdForScheme(std::string_view scheme);

} // namespace tavlin::xdg
