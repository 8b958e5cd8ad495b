#include "platform/linux/ApplicationCatalog.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <thread>
#include <utility>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/Diagnostics.h"
#include "platform/Files.h"
#include "platform/linux/DesktopEntry.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string text(const char* value) { return value ? value : ""; }

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

} // namespace

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
        Entry entry;
        entry.id = std::string(withoutDesktopSuffix(text(g_app_info_get_id(G_APP_INFO(info)))));
        entry.path = filename;
        entry.name = text(g_app_info_get_name(G_APP_INFO(info)));
        entry.startupWMClass = text(g_desktop_app_info_get_startup_wm_class(info));
        entry.executable = text(g_app_info_get_executable(G_APP_INFO(info)));
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
