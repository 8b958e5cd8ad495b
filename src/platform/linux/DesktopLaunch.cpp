#include "platform/linux/DesktopLaunch.h"

#include <memory>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace tavlin::xdg {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using DesktopAppInfo = std::unique_ptr<GDesktopAppInfo, Unref>;

DesktopAppInfo readEntry(const std::filesystem::path& entry) {
    return DesktopAppInfo(g_desktop_app_info_new_from_filename(entry.c_str()));
}

} // namespace

bool needsDesktopLaunch(const std::filesystem::path& entry) {
    const auto info = readEntry(entry);
    if (!info) return false;
    return g_desktop_app_info_get_boolean(info.get(), "Terminal") ||
           g_desktop_app_info_get_boolean(info.get(), "DBusActivatable");
}

std::optional<std::string> launchThroughDesktop(const std::filesystem::path& entry, const std::vector<std::string>& items,
                                                const std::string& displayName) {
    const std::string application = "The application “" + displayName + "”";
    const auto info = readEntry(entry);
    if (!info) return application + " could not be launched because it is not a valid desktop entry.";
    GList* uris = nullptr;
    for (const auto& item : items) {
        gchar* uri = item.starts_with("/") ? g_filename_to_uri(item.c_str(), nullptr, nullptr) : g_strdup(item.c_str());
        if (uri) uris = g_list_append(uris, uri);
    }
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(G_APP_INFO(info.get()), uris, nullptr, &error);
    g_list_free_full(uris, g_free);
    if (launched) return std::nullopt;
    std::string sentence = application + " could not be launched: " + (error ? error->message : "unknown error") + ".";
    if (error) g_error_free(error);
    return sentence;
}

} // namespace tavlin::xdg
