#pragma once

#include <optional>
#include <string>

namespace tavlin {

// The action kinds that open something on the desktop. Each reports its own failures.
void openURL(const std::string& url, const std::optional<std::string>& applicationPath);
void openApp(const std::string& path, bool hideAppIfRunning, const std::optional<std::string>& launchArgumentsText,
             std::optional<bool> switchToPreviousApp);
void launchApplication(const std::string& path);
void openFileOrFolder(const std::string& path, const std::optional<std::string>& applicationPath, bool isFolder);
void activateFinder();
void runAppleScript(const std::string& path);

// Whether the text is a URL: a scheme ("letter (letter | digit | + - .)*:") and nothing that a
// URL may not hold (white space, control characters).
bool isValidURL(const std::string& text);
// "~" and "~/..." with the home folder.
std::string expandingTildeInPath(const std::string& path);

} // namespace tavlin
