#include "engine/Opening.h"

#include <cstdlib>

#include "engine/ActionRunner.h"
#include "engine/Notifications.h"
#include "engine/ShellServices.h"
#include "model/Action.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileUrl.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {
namespace {

bool isSchemeCharacter(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Same executable, where an absent one equals only an absent one when `absentMatches` allows.
bool sameExecutable(const std::optional<std::string>& a, const std::optional<std::string>& b, bool absentMatches) {
    if (!a || !b) return absentMatches && !a && !b;
    return *a == *b;
}

} // namespace

bool isValidURL(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeCharacter(text[i], i == 0)) return false;
    }
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return false;
    }
    return true;
}

std::string expandingTildeInPath(const std::string& path) {
    if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return path;
    const char* home = std::getenv("HOME");
    if (!home || !*home) return path;
    std::string expanded(home);
    while (expanded.size() > 1 && expanded.back() == '/') expanded.pop_back();
    return expanded + path.substr(1);
}

void openURL(const std::string& url, const std::optional<std::string>& applicationPath) {
    if (!isValidURL(url)) {
        showAlert("Invalid URL", url);
        return;
    }
    auto& workspace = Workspace::shared();
    if (!applicationPath || applicationPath->empty()) {
        workspace.openURL(url, [url](const std::optional<std::string>& error) {
            if (error) showAlert("Failed to open the URL", url);
        });
        return;
    }
    workspace.openURLs({url}, *applicationPath, [](const std::optional<std::string>& error) {
        if (error) showAlert("Failed to open url with application", *error);
    });
}

void openApp(const std::string& path, bool hideAppIfRunning, const std::optional<std::string>& launchArgumentsText,
             std::optional<bool> switchToPreviousApp) {
    // The first-run row's stand-in where no browser was found: there is nothing to open or hide.
    if (path == placeholderBrowserPath) {
        showAlert("Failed to open app", std::string(words::noBrowserToOpen));
        return;
    }
    auto& workspace = Workspace::shared();
    const auto& frontmost = FrontmostApplications::shared();
    const auto targetExecutable = workspace.executablePathOfApplication(path);

    if (switchToPreviousApp.value_or(false) && frontmost.current &&
        sameExecutable(frontmost.current->executablePath, targetExecutable, false)) {
        if (frontmost.previous) {
            workspace.activate(*frontmost.previous);
            return;
        }
    }
    if (hideAppIfRunning && frontmost.current && !workspace.isThisApplicationActive() &&
        sameExecutable(frontmost.current->executablePath, targetExecutable, true)) {
        workspace.hide(*frontmost.current);
        return;
    }
    if (launchArgumentsText && isHelperRunning()) {
        postToHelper(HelperAction::launchApp{path, launchArgumentsText});
        return;
    }
    launchApplication(path);
}

void launchApplication(const std::string& path) {
    Workspace::shared().openApplication(path, [](const std::optional<std::string>& error) {
        if (error) showAlert("Failed to open app", *error);
    });
}

void activateFinder() {
    // The desktop's file manager stands in: it opens on the home folder.
    const std::string home = expandingTildeInPath("~");
    Workspace::shared().openURL(FileUrl(home, true).absoluteString(), [](const std::optional<std::string>& error) {
        if (error) diag::printLine(diag::Category::actions, "failed to open the file manager");
    });
}

void runAppleScript(const std::string& path) {
    const auto error = Workspace::shared().runScript(path, [path](std::optional<std::string> runError) {
        if (!runError) {
            diag::printLine(diag::Category::actions, "executed");
            return;
        }
        const std::string message = std::string(words::scriptRunError) + path;
        const std::string text = *runError;
        MainQueue::shared().post([message, text] { showAlert(message, text); });
    });
    if (error) showAlert("Failed to create script task", *error);
}

} // namespace tavlin
