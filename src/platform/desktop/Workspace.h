#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// A running application as the desktop reports it. On Linux an application's "bundle" is its
// desktop entry: the path of its .desktop file (or of its executable when it has no entry), and
// its bundle identifier is the desktop-file id.
struct RunningApplication {
    std::int64_t processIdentifier = 0;
    std::optional<std::string> bundlePath;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> localizedName;
    std::optional<std::string> executablePath;
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// Opening things and asking about applications: what the engine needs of the desktop.
// Completions are called on the main queue; an error is its sentence for the user.
class Workspace {
public:
    using Completion = std::function<void(std::optional<std::string> error)>;

    virtual ~Workspace() = default;

    // Opens a URL (web address, file URL...) with its default application. Returns at once;
    // `completion` learns later whether that worked.
    virtual void openURL(const std::string& url, Completion completion) = 0;
    // Opens URLs with the application at `applicationPath`.
    virtual void openURLs(const std::vector<std::string>& urls, const std::string& applicationPath, Completion completion) = 0;
    // Launches (or brings forward) the application at `path`.
    virtual void openApplication(const std::string& path, Completion completion) = 0;
    // The executable the application at `path` runs; nothing when it has none.
    virtual std::optional<std::string> executablePathOfApplication(const std::string& path) = 0;

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) = 0;
    virtual void activate(const RunningApplication& application) = 0;
    virtual void hide(const RunningApplication& application) = 0;
    // Whether this program is the active application.
    virtual bool isThisApplicationActive() = 0;

    // Runs a user script. Answers the reason when it cannot start; `completion` gets the
    // outcome of the run.
    virtual std::optional<std::string> runScript(const std::string& path, Completion completion) = 0;

    // Shows the item selected in a file viewer. Unless a desktop does better, this opens the
    // folder that holds it: never the item itself, which may be a script or a document.
    virtual void activateFileViewerSelecting(const std::string& path);

    static Workspace& shared();
    static void setShared(Workspace* workspace);
};

} // namespace tavlin
