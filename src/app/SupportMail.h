#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavlin {

// The support address and the maker's home page, set by the build.
extern const std::string_view supportAddress;
extern const std::string_view homePageURL;

// The text percent-encoded as one field of a mail link's query: ASCII letters, digits and -._~
// stay, every other byte becomes %XX (upper-case hex). Nothing when the text is not UTF-8.
std::optional<std::string> percentEncodedForQuery(std::string_view text);

// A mail link to the support address whose body is four line feeds and the facts about this
// copy and the machine.
std::string supportMailURL(std::string_view address = supportAddress);

// The "Support" command: opens the mail link, or the home page when the link is no valid URL.
void openSupportMail(std::string_view address = supportAddress, std::string_view homePage = homePageURL);

} // namespace tavlin
