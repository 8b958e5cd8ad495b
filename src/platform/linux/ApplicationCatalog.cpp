#include "platform/linux/ApplicationCatalog.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include <unistd.h>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/Diagnostics.h"
#include "platform/Files.h"
#include "platform/linux/XdgPaths.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string text(const char* value) { return value ? value : ""; }

// Takes ownership of a GLib string.
std::string taken(char* value) {
    std::string result = text(value);
    g_free(value);
    return result;
}

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct FreeKeyFile {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, Unref>;
using KeyFile = std::unique_ptr<GKeyFile, FreeKeyFile>;

// The largest desktop entry we found installed is 5.6 KB (vim.desktop, most of it
// translated names); a file of 1 MB is no entry, and GIO would hold all of it in memory.
constexpr std::uint64_t maximumEntrySize = 1 << 20;

std::string_view withoutDesktopSuffix(std::string_view id) {
    constexpr std::string_view suffix = ".desktop";
    if (id.size() > suffix.size() && id.ends_with(suffix)) id.remove_suffix(suffix.size());
    return id;
}

// The folders whose files GIO opens, from the environment as GIO reads it.
struct Folders {
    std::vector<fs::path> applications; // entries in any depth, mimeapps lists, caches
    std::vector<fs::path> lists;        // mimeapps lists only
    std::vector<fs::path> mime;         // the MIME database

    static Folders current() {
        const auto home = [] {
            const char* value = std::getenv("HOME");
            return fs::path(value ? value : "");
        }();
        const auto one = [](const char* name, const fs::path& fallback) {
            const char* value = std::getenv(name);
            return value && fs::path(value).is_absolute() ? fs::path(value) : fallback;
        };
        const auto several = [](const char* name, std::vector<fs::path> fallback) {
            const char* value = std::getenv(name);
            if (!value || !*value) return fallback;
            std::vector<fs::path> folders;
            std::string_view rest(value);
            while (!rest.empty()) {
                const auto end = std::min(rest.find(':'), rest.size());
                if (const fs::path folder(rest.substr(0, end)); folder.is_absolute()) folders.push_back(folder);
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return folders;
        };
        std::vector<fs::path> data{one("XDG_DATA_HOME", home / ".local/share")};
        for (auto& folder : several("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"})) data.push_back(std::move(folder));
        Folders folders;
        folders.lists.push_back(one("XDG_CONFIG_HOME", home / ".config"));
        for (auto& folder : several("XDG_CONFIG_DIRS", {"/etc/xdg"})) folders.lists.push_back(std::move(folder));
        for (const auto& folder : data) {
            folders.applications.push_back(folder / "applications");
            folders.mime.push_back(folder / "mime");
        }
        return folders;
    }
};

// Why a file GIO would open is not a regular one, for the first such file: GIO would wait in its
// open() for a FIFO's writer, for good.
std::optional<std::string> firstFileThatWouldBlock(const Folders& folders) {
    const auto blocks = [](const fs::directory_entry& entry) {
        std::error_code error;
        const auto type = entry.status(error).type();
        return !error && type != fs::file_type::regular && type != fs::file_type::directory;
    };
    const auto refusal = [](const fs::path& path) -> std::string {
        try {
            files::readBeginning(path, 0);
        } catch (const FileError& error) {
            return error.localizedDescription();
        }
        return path.string();
    };
    const auto opened = [](const fs::path& name) {
        const auto extension = name.extension();
        return extension == ".desktop" || extension == ".list" || extension == ".cache";
    };
    const auto options = fs::directory_options::skip_permission_denied;
    std::error_code error;
    for (const auto& folder : folders.applications) {
        for (fs::recursive_directory_iterator it(folder, options, error), end; !error && it != end; it.increment(error)) {
            if (opened(it->path().filename()) && blocks(*it)) return refusal(it->path());
        }
        error.clear();
    }
    for (const auto& folder : folders.lists) {
        for (fs::directory_iterator it(folder, options, error), end; !error && it != end; it.increment(error)) {
            if (it->path().filename().string().ends_with("mimeapps.list") && blocks(*it)) return refusal(it->path());
        }
        error.clear();
    }
    for (const auto& folder : folders.mime) {
        for (fs::directory_iterator it(folder, options, error), end; !error && it != end; it.increment(error)) {
            if (blocks(*it)) return refusal(it->path());
        }
        error.clear();
    }
    return std::nullopt;
}

// What the catalog keeps of an entry GIO read.
ApplicationCatalog::Entry entryOf(GDesktopAppInfo* info, std::string id, const fs::path& path) {
    ApplicationCatalog::Entry entry;
    entry.id = std::move(id);
    entry.path = path;
    entry.name = taken(g_desktop_app_info_get_locale_string(info, G_KEY_FILE_DESKTOP_KEY_NAME));
    if (GIcon* icon = g_app_info_get_icon(G_APP_INFO(info))) entry.icon = taken(g_icon_to_string(icon));
    entry.startupWMClass = text(g_desktop_app_info_get_startup_wm_class(info));
    // GIO answers the first word of Exec as written, quotes and all.
    const char* executable = g_app_info_get_executable(G_APP_INFO(info));
    entry.executable = taken(executable ? g_shell_unquote(executable, nullptr) : nullptr);
    entry.listed = !g_desktop_app_info_get_nodisplay(info);
    return entry;
}

// The file's [Desktop Entry] group, read without blocking on anything but a regular file.
KeyFile keyFileAt(const fs::path& path) {
    std::string bytes;
    try {
        bytes = files::readFile(path, maximumEntrySize);
    } catch (const FileError&) {
        return nullptr;
    }
    KeyFile file(g_key_file_new());
    if (!g_key_file_load_from_data(file.get(), bytes.data(), bytes.size(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr) ||
        !g_key_file_has_group(file.get(), G_KEY_FILE_DESKTOP_GROUP))
        return nullptr;
    return file;
}

// The desktop-file id of a file in an applications folder ("kde4/kate.desktop" gives
// "kde4-kate"); outside them the file name stands in. Without ".desktop".
std::string idOfPath(const fs::path& path) {
    for (const auto& folder : applicationDirectories()) {
        const auto relative = path.lexically_relative(folder);
        if (relative.empty() || *relative.begin() == "..") continue;
        std::string id = relative.string();
        std::replace(id.begin(), id.end(), '/', '-');
        return std::string(withoutDesktopSuffix(id));
    }
    return std::string(withoutDesktopSuffix(path.filename().string()));
}

} // namespace

std::optional<ApplicationCatalog::Entry> ApplicationCatalog::readFile(const std::filesystem::path& path) {
    const KeyFile file = keyFileAt(path);
    if (!file) return std::nullopt;
    if (const AppInfo info(g_desktop_app_info_new_from_keyfile(file.get())); info)
        return entryOf(info.get(), idOfPath(path), path);
    // GIO also refuses an application whose program is not installed; a path chosen earlier
    // still shows by its name and icon.
    const auto value = [&](const char* key) {
        return taken(g_key_file_get_locale_string(file.get(), G_KEY_FILE_DESKTOP_GROUP, key, nullptr, nullptr));
    };
    const auto flag = [&](const char* key) { return g_key_file_get_boolean(file.get(), G_KEY_FILE_DESKTOP_GROUP, key, nullptr); };
    if (value(G_KEY_FILE_DESKTOP_KEY_TYPE) != G_KEY_FILE_DESKTOP_TYPE_APPLICATION || flag(G_KEY_FILE_DESKTOP_KEY_HIDDEN))
        return std::nullopt;
    Entry entry;
    entry.id = idOfPath(path);
    entry.path = path;
    entry.name = value(G_KEY_FILE_DESKTOP_KEY_NAME);
    entry.icon = value(G_KEY_FILE_DESKTOP_KEY_ICON);
    entry.listed = !flag(G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY);
    return entry;
}

std::optional<std::string> ApplicationCatalog::launch(const std::filesystem::path& path, const std::vector<std::string>& items) {
    std::string name = std::string(withoutDesktopSuffix(path.filename().string()));
    if (name.empty()) name = path.string();
    const auto application = [&] { return "The application “" + name + "”"; };
    std::error_code ec;
    if (!fs::exists(path, ec)) return application() + " could not be launched because it was not found.";
    const KeyFile file = keyFileAt(path);
    const auto invalid = [&] { return application() + " could not be launched because it is not a valid desktop entry."; };
    if (!file) return invalid();
    const auto string = [&](const char* key) {
        return taken(g_key_file_get_string(file.get(), G_KEY_FILE_DESKTOP_GROUP, key, nullptr));
    };
    if (auto localized = taken(
            g_key_file_get_locale_string(file.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr));
        !localized.empty())
        name = std::move(localized);
    const auto notFound = [&](const std::string& program) {
        return application() + " could not be launched because its program “" + program + "” was not found.";
    };
    // What the terminal or the session bus starts is theirs to check.
    const auto flag = [&](const char* key) { return g_key_file_get_boolean(file.get(), G_KEY_FILE_DESKTOP_GROUP, key, nullptr); };
    const bool startedByOthers = flag(G_KEY_FILE_DESKTOP_KEY_TERMINAL) || flag("DBusActivatable");
    if (!startedByOthers) {
        if (const auto tryExec = string(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC); !tryExec.empty() && !resolveExecutable(tryExec))
            return notFound(tryExec);
        if (const auto folder = string(G_KEY_FILE_DESKTOP_KEY_PATH); !folder.empty() && !fs::is_directory(folder, ec))
            return application() + " could not be launched because its working folder “" + folder + "” does not exist.";
        // GIO takes an entry whose program is missing for no entry at all.
        gchar** words = nullptr;
        if (g_shell_parse_argv(string(G_KEY_FILE_DESKTOP_KEY_EXEC).c_str(), nullptr, &words, nullptr)) {
            const std::string program = words[0];
            g_strfreev(words);
            if (!resolveExecutable(program)) return notFound(program);
        }
    }
    GList* uris = nullptr;
    const auto freeUris = [&] { g_list_free_full(std::exchange(uris, nullptr), g_free); };
    for (const auto& item : items) {
        gchar* uri = item.find('\0') != std::string::npos ? nullptr
                     : item.starts_with("/")              ? g_filename_to_uri(item.c_str(), nullptr, nullptr)
                     : isUrl(item)                        ? g_strdup(item.c_str())
                                                          : nullptr;
        if (!uri) {
            freeUris();
            return application() + " cannot open “" + item + "” because it is not a URL.";
        }
        uris = g_list_append(uris, uri);
    }
    // The file was just read as a regular one; GIO reads it by name so that it knows the
    // entry's id, which the session bus needs to start it.
    const AppInfo info(g_desktop_app_info_new_from_filename(path.c_str()));
    if (!info) {
        freeUris();
        return invalid();
    }
    GError* error = nullptr;
    const auto newSession = +[](gpointer) { ::setsid(); };
    const bool launched = g_desktop_app_info_launch_uris_as_manager(
        info.get(), uris, nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDIN_FROM_DEV_NULL), newSession, nullptr, nullptr,
        nullptr, &error);
    freeUris();
    if (launched) return std::nullopt;
    std::string sentence = application() + " could not be launched: " + text(error ? error->message : "unknown error") + ".";
    if (error) g_error_free(error);
    return sentence;
}

struct ApplicationCatalog::Reading {
    std::vector<Entry> entries;
    std::map<fs::path, std::vector<std::size_t>> byExecutable;
    std::map<std::string, std::optional<std::string>> schemeHandlers;
    std::optional<std::string> failure; // then nothing else was read

    // On the reading thread.
    static std::unique_ptr<Reading> read(const Folders& folders, const std::vector<std::string>& schemesAsked);
};

std::unique_ptr<ApplicationCatalog::Reading> ApplicationCatalog::Reading::read(const Folders& folders,
                                                                               const std::vector<std::string>& schemesAsked) {
    auto reading = std::make_unique<Reading>();
    if ((reading->failure = firstFileThatWouldBlock(folders))) return reading;
    // In order of precedence: an id met again in a folder of lower precedence is left out, as
    // are entries that are Hidden or whose program is not installed.
    std::set<std::string> schemes(schemesAsked.begin(), schemesAsked.end());
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        if (!G_IS_DESKTOP_APP_INFO(item->data)) continue;
        auto* info = G_DESKTOP_APP_INFO(item->data);
        const char* filename = g_desktop_app_info_get_filename(info);
        if (!filename) continue;
        Entry entry = entryOf(info, std::string(withoutDesktopSuffix(text(g_app_info_get_id(G_APP_INFO(info))))), filename);
        if (!entry.executable.empty()) {
            if (const auto resolved = resolveExecutable(entry.executable))
                reading->byExecutable[*resolved].push_back(reading->entries.size());
        }
        for (const char* const* type = g_app_info_get_supported_types(G_APP_INFO(info)); type && *type; ++type) {
            constexpr std::string_view prefix = "x-scheme-handler/";
            if (std::string_view(*type).starts_with(prefix)) schemes.insert(std::string(*type + prefix.size()));
        }
        reading->entries.push_back(std::move(entry));
    }
    g_list_free_full(all, g_object_unref);
    for (const auto& scheme : schemes) {
        std::optional<std::string> path;
        if (GAppInfo* info = g_app_info_get_default_for_uri_scheme(scheme.c_str())) {
            if (G_IS_DESKTOP_APP_INFO(info)) {
                if (const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info))) path = filename;
            }
            g_object_unref(info);
        }
        reading->schemeHandlers.emplace(scheme, path);
    }
    return reading;
}

struct ApplicationCatalog::Monitor {
    GAppInfoMonitor* monitor = nullptr;
    gulong handler = 0;
};

// Shared with the reading thread, which may outlive the catalog (held in an open() for good).
struct ApplicationCatalog::Worker {
    GMainContext* context = g_main_context_ref_thread_default();
    // Main thread only, as the rest.
    ApplicationCatalog* owner = nullptr;
    bool running = false;
    bool again = false; // a change came while the reading ran

    ~Worker() { g_main_context_unref(context); }

    struct Delivery {
        std::shared_ptr<Worker> worker;
        std::unique_ptr<Reading> reading;
    };

    static void start(const std::shared_ptr<Worker>& worker, std::vector<std::string> schemesAsked) {
        worker->running = true;
        std::thread([worker, folders = Folders::current(), schemesAsked = std::move(schemesAsked)] {
            auto* delivery = new Delivery{worker, Reading::read(folders, schemesAsked)};
            // Attached, never invoked: the main context may be free for this thread to acquire.
            GSource* source = g_idle_source_new();
            g_source_set_callback(
                source,
                +[](gpointer data) {
                    auto* delivery = static_cast<Delivery*>(data);
                    if (ApplicationCatalog* owner = delivery->worker->owner) owner->adopt(*delivery->reading);
                    return G_SOURCE_REMOVE;
                },
                delivery, +[](gpointer data) { delete static_cast<Delivery*>(data); });
            g_source_attach(source, worker->context);
            g_source_unref(source);
        }).detach();
    }
};

ApplicationCatalog& ApplicationCatalog::shared() {
    static ApplicationCatalog catalog;
    return catalog;
}

ApplicationCatalog::ApplicationCatalog() : monitor_(std::make_unique<Monitor>()), worker_(std::make_shared<Worker>()) {
    worker_->owner = this;
    // Notices come through the GLib main context that is this thread's default now.
    monitor_->monitor = g_app_info_monitor_get();
    monitor_->handler = g_signal_connect_swapped(
        monitor_->monitor, "changed",
        G_CALLBACK(+[](gpointer catalog) { static_cast<ApplicationCatalog*>(catalog)->invalidate(); }), this);
}

ApplicationCatalog::~ApplicationCatalog() {
    worker_->owner = nullptr;
    g_signal_handler_disconnect(monitor_->monitor, monitor_->handler);
    g_object_unref(monitor_->monitor);
}

void ApplicationCatalog::dispatchPendingChanges() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void ApplicationCatalog::invalidate() {
    loaded_ = false;
    if (worker_->running) worker_->again = true;
    else if (loads_ > 0) Worker::start(worker_, schemesAsked_);
}

void ApplicationCatalog::load() {
    // After a refused reading GIO has read nothing, so it reports no further change either:
    // each use tries again (off this thread, one reading at a time) until one succeeds.
    if ((loaded_ && !refused_) || worker_->running) return;
    Worker::start(worker_, schemesAsked_);
}

void ApplicationCatalog::adopt(Reading& reading) {
    worker_->running = false;
    ++loads_;
    if (reading.failure) {
        // Changes nothing of what is known; said once, not at each of the tries that follow.
        refused_ = true;
        if (std::exchange(lastRefusal_, *reading.failure) != *reading.failure) diag::printLine(*reading.failure);
    } else {
        refused_ = false;
        lastRefusal_.clear();
        entries_ = std::move(reading.entries);
        byExecutable_ = std::move(reading.byExecutable);
        schemeHandlers_ = std::move(reading.schemeHandlers);
    }
    const bool schemeLeftOut = !reading.failure && std::any_of(schemesAsked_.begin(), schemesAsked_.end(),
                                                               [&](const auto& s) { return !schemeHandlers_.contains(s); });
    if (std::exchange(worker_->again, false) || schemeLeftOut) {
        Worker::start(worker_, schemesAsked_);
        return;
    }
    loaded_ = true;
    for (auto& done : std::exchange(whenCurrent_, {})) done();
}

bool ApplicationCatalog::isCurrent() const { return loaded_; }

void ApplicationCatalog::whenCurrent(std::function<void()> done) {
    if (loaded_) {
        done();
        return;
    }
    whenCurrent_.push_back(std::move(done));
    load();
}

const std::vector<ApplicationCatalog::Entry>& ApplicationCatalog::entries() {
    load();
    return entries_;
}

const ApplicationCatalog::Entry* ApplicationCatalog::findById(std::string_view id) {
    load();
    id = withoutDesktopSuffix(id);
    for (const auto& entry : entries_) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

const ApplicationCatalog::Entry* ApplicationCatalog::entryForWindow(std::string_view wmClass,
                                                                    const std::optional<std::filesystem::path>& executable) {
    load();
    if (!wmClass.empty()) {
        for (const auto& entry : entries_) {
            if (entry.startupWMClass == wmClass) return &entry;
        }
        for (const auto& entry : entries_) {
            if (equalIgnoringAsciiCase(entry.id, wmClass)) return &entry;
        }
    }
    if (!executable) return nullptr;
    const auto found = byExecutable_.find(*executable);
    if (found == byExecutable_.end() || found->second.size() != 1) return nullptr; // none, or ambiguous
    return &entries_[found->second.front()];
}

std::optional<std::string> ApplicationCatalog::defaultApplicationPathForScheme(const std::string& scheme) {
    const auto known = schemeHandlers_.find(scheme);
    if (known == schemeHandlers_.end() && std::find(schemesAsked_.begin(), schemesAsked_.end(), scheme) == schemesAsked_.end()) {
        schemesAsked_.push_back(scheme);
        loaded_ = false;
    }
    load();
    return known != schemeHandlers_.end() ? known->second : std::nullopt;
}

} // namespace tavlin::xdg
