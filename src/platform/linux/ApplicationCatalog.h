#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlin::xdg {

// The installed applications (desktop entries) and the URL-scheme handlers, as GIO reads them:
// the applications folders in order of precedence, Hidden and TryExec, localized names, the
// mimeapps lists and the MimeType keys of the entries themselves.
//
// What it read is kept until GIO reports a change of the applications folders or of the
// mimeapps lists (GAppInfoMonitor, delivered by the main thread's GLib main context, which Qt's
// event loop runs); then it is read again at the next use. Asking costs no file access, so it
// may be asked at every session and every change of the active window. Main thread only.
class ApplicationCatalog {
public:
    struct Entry {
        std::string id; // desktop-file id without ".desktop"
        std::filesystem::path path;
        std::string name; // localized
        std::string startupWMClass;
        std::string executable; // the program named by Exec (or TryExec), as written
    };

    static ApplicationCatalog& shared();
    ApplicationCatalog();
    ~ApplicationCatalog();
    ApplicationCatalog(const ApplicationCatalog&) = delete;
    ApplicationCatalog& operator=(const ApplicationCatalog&) = delete;

    const std::vector<Entry>& entries();
    // By desktop-file id, with or without ".desktop".
    const Entry* findById(std::string_view id);
    // The entry a window belongs to: the one whose StartupWMClass is `wmClass`, else the one
    // whose id is `wmClass` ignoring ASCII case, else the only one that runs `executable` (when
    // several do, as with interpreters, none).
    const Entry* entryForWindow(std::string_view wmClass, const std::optional<std::filesystem::path>& executable);
    // The desktop entry (its path) of the default application for URLs of `scheme`: the
    // mimeapps lists' default, else the first installed entry that declares the scheme.
    std::optional<std::string> defaultApplicationPathForScheme(const std::string& scheme);

    // Drops what was read: the next use reads again. Called on GIO's change notices.
    void invalidate();
    // How often the entries were read so far.
    std::size_t loadCount() const { return loads_; }
    // Runs the GLib main context of this thread until nothing is pending, so change notices
    // arrive where no GLib-based event loop runs (command-line tools, tests).
    static void dispatchPendingChanges();

private:
    void load();
    void resolveExecutables();

    struct Monitor;
    std::unique_ptr<Monitor> monitor_;
    bool loaded_ = false;
    bool executablesResolved_ = false;
    std::size_t loads_ = 0;
    std::vector<Entry> entries_;
    std::map<std::filesystem::path, std::vector<std::size_t>> byExecutable_;
    std::map<std::string, std::optional<std::string>> schemeHandlers_;
};

} // namespace tavlin::xdg
