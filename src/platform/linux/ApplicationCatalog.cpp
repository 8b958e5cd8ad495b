#include "platform/linux/ApplicationCatalog.h"

#include <algorithm>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "platform/linux/DesktopEntry.h"

namespace tavlin::xdg {
namespace {

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

} // namespace

struct ApplicationCatalog::Monitor {
    GAppInfoMonitor* monitor = nullptr;
    gulong handler = 0;
};

ApplicationCatalog& ApplicationCatalog::shared() {
    static ApplicationCatalog catalog;
    return catalog;
}

ApplicationCatalog::ApplicationCatalog() : monitor_(std::make_unique<Monitor>()) {
    // Notices come through the GLib main context that is this thread's default now.
    monitor_->monitor = g_app_info_monitor_get();
    monitor_->handler = g_signal_connect_swapped(
        monitor_->monitor, "changed",
        G_CALLBACK(+[](gpointer catalog) { static_cast<ApplicationCatalog*>(catalog)->invalidate(); }), this);
}

ApplicationCatalog::~ApplicationCatalog() {
    g_signal_handler_disconnect(monitor_->monitor, monitor_->handler);
    g_object_unref(monitor_->monitor);
}

void ApplicationCatalog::dispatchPendingChanges() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void ApplicationCatalog::invalidate() {
    loaded_ = false;
    executablesResolved_ = false;
    entries_.clear();
    byExecutable_.clear();
    schemeHandlers_.clear();
}

void ApplicationCatalog::load() {
    if (loaded_) return;
    invalidate();
    ++loads_;
    // In order of precedence: an id met again in a folder of lower precedence is left out, as
    // are entries that are Hidden or whose program is not installed.
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
        entries_.push_back(std::move(entry));
    }
    g_list_free_full(all, g_object_unref);
    loaded_ = true;
}

// Only needed when a window's class names no entry; once per reading, not per window.
void ApplicationCatalog::resolveExecutables() {
    load();
    if (executablesResolved_) return;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].executable.empty()) continue;
        if (const auto resolved = resolveExecutable(entries_[i].executable)) byExecutable_[*resolved].push_back(i);
    }
    executablesResolved_ = true;
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
    resolveExecutables();
    const auto found = byExecutable_.find(*executable);
    if (found == byExecutable_.end() || found->second.size() != 1) return nullptr; // none, or ambiguous
    return &entries_[found->second.front()];
}

std::optional<std::string> ApplicationCatalog::defaultApplicationPathForScheme(const std::string& scheme) {
    load();
    if (const auto cached = schemeHandlers_.find(scheme); cached != schemeHandlers_.end()) return cached->second;
    std::optional<std::string> path;
    if (GAppInfo* info = g_app_info_get_default_for_uri_scheme(scheme.c_str())) {
        if (G_IS_DESKTOP_APP_INFO(info)) {
            if (const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info))) path = filename;
        }
        g_object_unref(info);
    }
    schemeHandlers_.emplace(scheme, path);
    return path;
}

} // namespace tavlin::xdg
