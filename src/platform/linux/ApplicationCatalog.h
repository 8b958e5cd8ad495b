#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlin::xdg {

// The installed applications (desktop entries) and the URL-scheme handlers: the applications
// folders in order of precedence with their subfolders (links followed), Hidden and TryExec,
// localized names, the mimeapps lists, the folders' mimeinfo.cache and the MimeType keys of the
// entries themselves.
//
// We read these files ourselves, never through GIO: it opens them with a blocking open(), and
// a FIFO among them would hold its reader, and GIO's lock of the folders with it, for good. A
// file is opened without blocking and read only when it is a regular one; anything else is
// left out with a line. The reading runs on a thread of its own all the same: asking answers
// from what was read last (nothing before the first reading is done) and never touches a file,
// so it may be asked at every session and every change of the active window, also while the
// keyboard is grabbed. At most one reading runs at a time.
//
// What was read is kept until a file of those folders changes (watched through inotify, which
// opens nothing; a folder that is not there is read once it appears); then it is read again. Both the change notices and the
// finished readings are delivered by the GLib main context of the thread that made the catalog (the main thread, whose context
// Qt's event loop runs). Main thread only.
class ApplicationCatalog {
public:
    struct Entry {
        std::string id; // desktop-file id without ".desktop"
        std::filesystem::path path;
        std::string name; // localized; empty without a Name
        std::string icon; // a theme icon name or an absolute path; empty for none
        std::string startupWMClass;
        std::string executable; // the program named by Exec (or TryExec), as written
        bool listed = true;     // NoDisplay=true: installed, but not for lists
    };

    static ApplicationCatalog& shared();
    ApplicationCatalog();
    ~ApplicationCatalog();
    ApplicationCatalog(const ApplicationCatalog&) = delete;
    ApplicationCatalog& operator=(const ApplicationCatalog&) = delete;

    const std::vector<Entry>& entries();
    // By desktop-file id, with or without ".desktop".
    const Entry* findById(std::string_view id);
    // By the path of its file, as the folders were walked.
    const Entry* findByPath(const std::filesystem::path& path);
    // The entry a window belongs to: the one whose StartupWMClass is `wmClass`, else the one
    // whose id is `wmClass` ignoring ASCII case, else the only one that runs `executable` (when
    // several do, as with interpreters, none).
    const Entry* entryForWindow(std::string_view wmClass, const std::optional<std::filesystem::path>& executable);
    // The desktop entry (its path) of the default application for URLs of `scheme`: the
    // mimeapps lists' default, else the first installed entry that declares the scheme. A
    // scheme no entry declares is looked up from the next reading on.
    std::optional<std::string> defaultApplicationPathForScheme(const std::string& scheme);
    // Calls `done` on this thread once what was asked so far has been read since the last
    // change: at once when it has.
    void whenCurrent(std::function<void()> done);
    // Whether what was asked so far has been read since the last change.
    bool isCurrent() const;
    // Calls `observer` on this thread after every reading taken in, for as long as the catalog lives.
    void addReadingObserver(std::function<void()> observer);
    // Makes the catalog the source of the names people read for applications (words::applicationName)
    // and tells the windows of every reading (words::applicationNamesChanged).
    static void nameApplicationsForPeople();

    // One entry file, wherever it lies, read by the thread that asks, without blocking: nothing
    // when it is no regular file, larger than any entry, no application (Type, Hidden) or
    // unreadable. One whose program is not installed has no executable.
    static std::optional<Entry> readFile(const std::filesystem::path& path);

    // A launch under way, decided on a thread of its own.
    class Launch {
    public:
        bool decided() const { return decided_.load(std::memory_order_acquire); }
        // Once decided: the sentence for the user when it could not be started; nothing when it was.
        const std::optional<std::string>& error() const { return error_; }
        void decide(std::optional<std::string> error) {
            error_ = std::move(error);
            decided_.store(true, std::memory_order_release);
        }

    private:
        std::atomic<bool> decided_{false};
        std::optional<std::string> error_;
    };
    // Launches the entry file with `items` (URLs, or absolute paths, which become file URLs),
    // detached from us in a session of its own. The file is read and checked here, without
    // blocking (refusals are decided at once); GIO is handed its bytes and starts it on a thread
    // of its own: handed an entry, GIO takes its lock of the applications folders and may read
    // their lists with a blocking open(), so a list that is no regular file is refused first.
    static std::shared_ptr<const Launch> launch(const std::filesystem::path& path, const std::vector<std::string>& items);

    // Reads again. Called on the change notices.
    void invalidate();
    // How many readings were taken in so far.
    std::size_t loadCount() const { return loads_; }
    // Runs the GLib main context of this thread until nothing is pending, so change notices
    // arrive where no GLib-based event loop runs (command-line tools, tests).
    static void dispatchPendingChanges();

    struct Reading;

private:
    void load();
    void adopt(Reading& reading);

    struct Monitor;
    struct Worker;
    std::unique_ptr<Monitor> monitor_;
    std::shared_ptr<Worker> worker_;
    bool loaded_ = false; // the last reading is taken in and no change came since it began
    std::string lastRefusal_;
    std::size_t loads_ = 0;
    std::vector<Entry> entries_;
    std::map<std::filesystem::path, std::vector<std::size_t>> byExecutable_;
    std::map<std::filesystem::path, std::size_t> byPath_;
    std::vector<std::function<void()>> readingObservers_;
    std::map<std::string, std::optional<std::string>> schemeHandlers_;
    std::vector<std::string> schemesAsked_;
    std::vector<std::function<void()>> whenCurrent_;
};

} // namespace tavlin::xdg
