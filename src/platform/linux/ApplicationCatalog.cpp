#include "platform/linux/ApplicationCatalog.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

#include <dlfcn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <glib-unix.h>

#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"
#include "platform/linux/XdgPaths.h"
#include "platform/text/PeopleWords.h"

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

// Takes ownership of a GLib string list.
std::vector<std::string> takenList(char** values) {
    std::vector<std::string> result;
    for (char** value = values; value && *value; ++value) result.emplace_back(*value);
    g_strfreev(values);
    return result;
}

// GIO, loaded when an application is first launched through it: the launcher needs it for
// nothing else, and linked, it and the libraries it brings stayed resident in the idle
// launcher (1.1 MiB, bench/IdleFootprint.cpp).
struct Gio {
    decltype(&g_desktop_app_info_new_from_keyfile) newFromKeyfile = nullptr;
    decltype(&g_desktop_app_info_launch_uris_as_manager) launchUrisAsManager = nullptr;
    decltype(&g_bus_get_sync) busGetSync = nullptr;
    decltype(&g_dbus_connection_call_sync) connectionCallSync = nullptr;
    decltype(&g_dbus_is_name) isName = nullptr;
    decltype(&g_dbus_is_unique_name) isUniqueName = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;

    // Null when it cannot be loaded.
    static const Gio* get() {
        static const std::optional<Gio> gio = load();
        return gio ? &*gio : nullptr;
    }

private:
    static std::optional<Gio> load() {
        void* library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) return std::nullopt;
        Gio gio;
        const auto bind = [library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
            return function != nullptr;
        };
        if (!bind(gio.newFromKeyfile, "g_desktop_app_info_new_from_keyfile") ||
            !bind(gio.launchUrisAsManager, "g_desktop_app_info_launch_uris_as_manager") ||
            !bind(gio.busGetSync, "g_bus_get_sync") || !bind(gio.connectionCallSync, "g_dbus_connection_call_sync") ||
            !bind(gio.isName, "g_dbus_is_name") || !bind(gio.isUniqueName, "g_dbus_is_unique_name") ||
            !bind(gio.objectUnref, "g_object_unref"))
            return std::nullopt;
        return gio;
    }
};

struct Unref {
    void operator()(gpointer object) const { Gio::get()->objectUnref(object); }
};
struct FreeKeyFile {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, Unref>;
using KeyFile = std::unique_ptr<GKeyFile, FreeKeyFile>;

// The largest desktop entry we found installed is 5.6 KB (vim.desktop, most of it
// translated names); a file of 1 MB is no entry, and GIO would hold all of it in memory.
constexpr std::uint64_t maximumEntrySize = 1 << 20;
// A mimeinfo.cache lists every type of every entry of its folder.
constexpr std::uint64_t maximumListSize = 16 << 20;

constexpr std::string_view schemeTypePrefix = "x-scheme-handler/";

std::string_view withoutDesktopSuffix(std::string_view id) {
    constexpr std::string_view suffix = ".desktop";
    if (id.size() > suffix.size() && id.ends_with(suffix)) id.remove_suffix(suffix.size());
    return id;
}

// The folders of the desktop's applications and their associations, from the environment.
struct Folders {
    std::vector<fs::path> applications; // entries in any depth, mimeapps lists, caches
    std::vector<fs::path> lists;        // mimeapps lists only
    std::vector<std::string> desktops;  // lowercase, for "<desktop>-mimeapps.list"

    static Folders current() {
        const auto home = [] {
            const char* value = std::getenv("HOME");
            return fs::path(value ? value : "");
        }();
        const auto one = [](const char* name, const fs::path& fallback) {
            const char* value = std::getenv(name);
            return value && fs::path(value).is_absolute() ? fs::path(value) : fallback;
        };
        const auto words = [](const char* name) {
            std::vector<std::string> words;
            const char* value = std::getenv(name);
            std::string_view rest(value ? value : "");
            while (!rest.empty()) {
                const auto end = std::min(rest.find(':'), rest.size());
                if (end > 0) words.emplace_back(rest.substr(0, end));
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return words;
        };
        const auto several = [&](const char* name, const std::vector<fs::path>& fallback) {
            std::vector<fs::path> folders;
            for (const auto& word : words(name)) {
                if (const fs::path folder(word); folder.is_absolute()) folders.push_back(folder);
            }
            return folders.empty() && words(name).empty() ? fallback : folders;
        };
        std::vector<fs::path> data{one("XDG_DATA_HOME", home / ".local/share")};
        for (auto& folder : several("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"})) data.push_back(std::move(folder));
        Folders folders;
        folders.lists.push_back(one("XDG_CONFIG_HOME", home / ".config"));
        for (auto& folder : several("XDG_CONFIG_DIRS", {"/etc/xdg"})) folders.lists.push_back(std::move(folder));
        for (const auto& folder : data) folders.applications.push_back(folder / "applications");
        for (auto desktop : words("XDG_CURRENT_DESKTOP")) {
            std::transform(desktop.begin(), desktop.end(), desktop.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
            folders.desktops.push_back(std::move(desktop));
        }
        return folders;
    }
};

// The bytes as a key file; nothing without a [Desktop Entry] group when that is asked for.
KeyFile keyFileOf(const std::string& bytes, const char* group) {
    KeyFile file(g_key_file_new());
    if (!g_key_file_load_from_data(file.get(), bytes.data(), bytes.size(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr) ||
        (group && !g_key_file_has_group(file.get(), group)))
        return nullptr;
    return file;
}

// The file's bytes, read without waiting on anything but a regular file; nothing when it is no
// regular file, too large or unreadable. What keeps a file that is there from being read is
// told through `refusal`.
std::optional<std::string> bytesAt(const fs::path& path, std::uint64_t limit, std::optional<std::string>* refusal = nullptr) {
    // Most of the lists looked for are not there: said without an exception, whose unwinding
    // would bring the tables of every frame into the idle launcher's memory.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) return std::nullopt;
    try {
        return files::readFile(path, limit);
    } catch (const FileError& error) {
        if (refusal && !*refusal && error.kind() == FileError::Kind::notAFile) *refusal = error.localizedDescription();
        return std::nullopt;
    }
}

std::string stringOf(GKeyFile* file, const char* key) {
    return taken(g_key_file_get_string(file, G_KEY_FILE_DESKTOP_GROUP, key, nullptr));
}
bool flagOf(GKeyFile* file, const char* key) { return g_key_file_get_boolean(file, G_KEY_FILE_DESKTOP_GROUP, key, nullptr); }

// The icon as GIO names it: an absolute path as it is, else a theme icon, without the file
// extension entries often give it by mistake.
std::string iconOf(GKeyFile* file) {
    std::string icon = taken(
        g_key_file_get_locale_string(file, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_ICON, nullptr, nullptr));
    if (icon.empty() || icon.front() == '/') return icon;
    for (std::string_view extension : {".png", ".xpm", ".svg"}) {
        if (icon.size() > extension.size() && icon.ends_with(extension)) icon.resize(icon.size() - extension.size());
    }
    return icon;
}

// Whether the programs the entry names (TryExec, the first word of Exec) are installed.
bool programsInstalled(GKeyFile* file) {
    if (const auto tryExec = stringOf(file, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC); !tryExec.empty() && !resolveExecutable(tryExec))
        return false;
    const auto exec = stringOf(file, G_KEY_FILE_DESKTOP_KEY_EXEC);
    if (exec.empty()) return true;
    gchar** words = nullptr;
    if (!g_shell_parse_argv(exec.c_str(), nullptr, &words, nullptr)) return false;
    const bool installed = resolveExecutable(words[0]).has_value();
    g_strfreev(words);
    return installed;
}

// The application an entry describes; nothing for another Type or one that is Hidden. One
// whose programs are not installed has no executable.
std::optional<ApplicationCatalog::Entry> applicationOf(GKeyFile* file, std::string id, const fs::path& path) {
    if (stringOf(file, G_KEY_FILE_DESKTOP_KEY_TYPE) != G_KEY_FILE_DESKTOP_TYPE_APPLICATION ||
        flagOf(file, G_KEY_FILE_DESKTOP_KEY_HIDDEN))
        return std::nullopt;
    ApplicationCatalog::Entry entry;
    entry.id = std::move(id);
    entry.path = path;
    entry.name = taken(
        g_key_file_get_locale_string(file, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr));
    entry.icon = iconOf(file);
    entry.startupWMClass = stringOf(file, G_KEY_FILE_DESKTOP_KEY_STARTUP_WM_CLASS);
    entry.listed = !flagOf(file, G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY);
    if (programsInstalled(file)) {
        // The first word of Exec as written, then unquoted.
        const auto exec = stringOf(file, G_KEY_FILE_DESKTOP_KEY_EXEC);
        const auto start = std::min(exec.find_first_not_of(' '), exec.size());
        const auto word = exec.substr(start, exec.find(' ', start) - start);
        entry.executable = word.empty() ? "" : taken(g_shell_unquote(word.c_str(), nullptr));
    }
    return entry;
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

// The associations of one mimeapps list (or defaults.list), for URL schemes only.
struct Associations {
    std::map<std::string, std::vector<std::string>> defaults, added, removed; // scheme → ids

    static Associations of(const std::string& bytes, bool defaultsOnly) {
        Associations associations;
        const KeyFile file = keyFileOf(bytes, nullptr);
        if (!file) return associations;
        const auto group = [&](const char* name, std::map<std::string, std::vector<std::string>>& into) {
            for (const auto& key : takenList(g_key_file_get_keys(file.get(), name, nullptr, nullptr))) {
                if (!key.starts_with(schemeTypePrefix)) continue;
                auto& ids = into[key.substr(schemeTypePrefix.size())];
                for (const auto& id : takenList(g_key_file_get_string_list(file.get(), name, key.c_str(), nullptr, nullptr)))
                    ids.emplace_back(withoutDesktopSuffix(id));
            }
        };
        group("Default Applications", associations.defaults);
        if (defaultsOnly) return associations;
        group("Added Associations", associations.added);
        group("Removed Associations", associations.removed);
        return associations;
    }
};

} // namespace

std::optional<ApplicationCatalog::Entry> ApplicationCatalog::readFile(const std::filesystem::path& path) {
    const auto bytes = bytesAt(path, maximumEntrySize);
    const KeyFile file = bytes ? keyFileOf(*bytes, G_KEY_FILE_DESKTOP_GROUP) : nullptr;
    if (!file) return std::nullopt;
    return applicationOf(file.get(), idOfPath(path), path);
}

namespace {

std::string applicationNamed(const std::string& name) { return "The application “" + name + "”"; }

// GIO starts a DBusActivatable entry through the session bus, by the name of its file, which
// it is not handed: the bus call is ours. Nothing when there is no bus or the name is none.
std::optional<std::optional<std::string>> activateOverBus(const Gio& gio, const std::string& id, GList* uris,
                                                          const std::string& name) {
    if (!gio.isName(id.c_str()) || gio.isUniqueName(id.c_str())) return std::nullopt;
    GDBusConnection* bus = gio.busGetSync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return std::nullopt;
    std::string object = "/" + id;
    std::replace(object.begin(), object.end(), '.', '/');
    std::replace(object.begin(), object.end(), '-', '_');
    GVariantBuilder platform;
    g_variant_builder_init(&platform, G_VARIANT_TYPE_VARDICT);
    GVariant* parameters = nullptr;
    if (!uris) {
        parameters = g_variant_new("(@a{sv})", g_variant_builder_end(&platform));
    } else {
        GVariantBuilder list;
        g_variant_builder_init(&list, G_VARIANT_TYPE_STRING_ARRAY);
        for (GList* uri = uris; uri; uri = uri->next) g_variant_builder_add(&list, "s", static_cast<const char*>(uri->data));
        parameters = g_variant_new("(@as@a{sv})", g_variant_builder_end(&list), g_variant_builder_end(&platform));
    }
    GError* error = nullptr;
    GVariant* reply = gio.connectionCallSync(bus, id.c_str(), object.c_str(), "org.freedesktop.Application",
                                             uris ? "Open" : "Activate", parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                             &error);
    gio.objectUnref(bus);
    if (reply) g_variant_unref(reply);
    if (!error) return std::optional<std::string>();
    std::string sentence = applicationNamed(name) + " could not be launched: " + text(error->message) + ".";
    g_error_free(error);
    return sentence;
}

// The first of the lists GIO reads when it takes its lock of the folders (after each change)
// that is there but no regular file: GIO would wait in its open() for good.
std::optional<fs::path> listGioWouldWaitFor(const Folders& folders) {
    std::vector<fs::path> lists;
    const auto mimeapps = [&](const fs::path& folder) {
        for (const auto& desktop : folders.desktops) lists.push_back(folder / (desktop + "-mimeapps.list"));
        lists.push_back(folder / "mimeapps.list");
    };
    for (const auto& folder : folders.lists) mimeapps(folder);
    for (const auto& folder : folders.applications) {
        mimeapps(folder);
        lists.push_back(folder / "defaults.list");
        lists.push_back(folder / "mimeinfo.cache");
    }
    for (const auto& list : lists) {
        struct stat info {};
        if (::stat(list.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return list;
    }
    return std::nullopt;
}

// On a thread of its own: GIO takes its lock of the applications folders here, and may wait
// for it as long as another holds it. We make no reading of GIO's, but only this thread would
// wait.
std::optional<std::string> launchThroughGio(const std::string& bytes, GList* uris, const std::string& id, const std::string& name,
                                            const Folders& folders) {
    std::optional<std::string> sentence;
    const Gio* gio = Gio::get();
    if (!gio) {
        g_list_free_full(uris, g_free);
        return applicationNamed(name) + " could not be launched: libgio-2.0.so.0 could not be loaded.";
    }
    const KeyFile file = keyFileOf(bytes, G_KEY_FILE_DESKTOP_GROUP);
    if (file && flagOf(file.get(), "DBusActivatable")) {
        if (auto activated = activateOverBus(*gio, id, uris, name)) {
            g_list_free_full(uris, g_free);
            return *activated;
        }
    }
    if (const auto list = listGioWouldWaitFor(folders)) {
        g_list_free_full(uris, g_free);
        return applicationNamed(name) + " could not be launched because “" + list->string() + "” is not a regular file.";
    }
    const AppInfo info(file ? gio->newFromKeyfile(file.get()) : nullptr);
    if (!info) {
        sentence = applicationNamed(name) + " could not be launched because it is not a valid desktop entry.";
    } else {
        GError* error = nullptr;
        const auto newSession = +[](gpointer) { ::setsid(); };
        if (!gio->launchUrisAsManager(info.get(), uris, nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDIN_FROM_DEV_NULL),
                                      newSession, nullptr, nullptr, nullptr, &error))
            sentence = applicationNamed(name) + " could not be launched: " + text(error ? error->message : "unknown error") + ".";
        if (error) g_error_free(error);
    }
    g_list_free_full(uris, g_free);
    return sentence;
}

} // namespace

std::shared_ptr<const ApplicationCatalog::Launch> ApplicationCatalog::launch(const std::filesystem::path& path,
                                                                             const std::vector<std::string>& items) {
    auto launch = std::make_shared<Launch>();
    const auto refused = [&](std::string sentence) {
        launch->decide(std::move(sentence));
        return launch;
    };
    std::string name = std::string(withoutDesktopSuffix(path.filename().string()));
    if (name.empty()) name = path.string();
    const auto application = [&] { return applicationNamed(name); };
    std::error_code ec;
    if (!fs::exists(path, ec)) return refused(application() + " could not be launched because it was not found.");
    const auto bytes = bytesAt(path, maximumEntrySize);
    const KeyFile file = bytes ? keyFileOf(*bytes, G_KEY_FILE_DESKTOP_GROUP) : nullptr;
    if (!file) return refused(application() + " could not be launched because it is not a valid desktop entry.");
    const auto string = [&](const char* key) { return stringOf(file.get(), key); };
    if (auto localized = taken(
            g_key_file_get_locale_string(file.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr));
        !localized.empty())
        name = std::move(localized);
    const auto notFound = [&](const std::string& program) {
        return application() + " could not be launched because its program “" + program + "” was not found.";
    };
    // What the terminal or the session bus starts is theirs to check.
    const auto flag = [&](const char* key) { return flagOf(file.get(), key); };
    const bool startedByOthers = flag(G_KEY_FILE_DESKTOP_KEY_TERMINAL) || flag("DBusActivatable");
    if (!startedByOthers) {
        if (const auto tryExec = string(G_KEY_FILE_DESKTOP_KEY_TRY_EXEC); !tryExec.empty() && !resolveExecutable(tryExec))
            return refused(notFound(tryExec));
        if (const auto folder = string(G_KEY_FILE_DESKTOP_KEY_PATH); !folder.empty() && !fs::is_directory(folder, ec))
            return refused(application() + " could not be launched because its working folder “" + folder + "” does not exist.");
        // GIO takes an entry whose program is missing for no entry at all.
        gchar** words = nullptr;
        if (g_shell_parse_argv(string(G_KEY_FILE_DESKTOP_KEY_EXEC).c_str(), nullptr, &words, nullptr)) {
            const std::string program = words[0];
            g_strfreev(words);
            if (!resolveExecutable(program)) return refused(notFound(program));
        }
    }
    GList* uris = nullptr;
    for (const auto& item : items) {
        gchar* uri = item.find('\0') != std::string::npos ? nullptr
                     : item.starts_with("/")              ? g_filename_to_uri(item.c_str(), nullptr, nullptr)
                     : isUrl(item)                        ? g_strdup(item.c_str())
                                                          : nullptr;
        if (!uri) {
            g_list_free_full(uris, g_free);
            return refused(application() + " cannot open “" + item + "” because it is not a URL.");
        }
        uris = g_list_append(uris, uri);
    }
    // GIO is handed the bytes just read, never the file's name, which it would open blocking.
    std::thread([launch, bytes = *bytes, uris, id = std::string(withoutDesktopSuffix(path.filename().string())), name,
                 folders = Folders::current()] {
        launch->decide(launchThroughGio(bytes, uris, id, name, folders));
    }).detach();
    return launch;
}

struct ApplicationCatalog::Reading {
    std::vector<Entry> entries;
    std::map<fs::path, std::vector<std::size_t>> byExecutable;
    std::map<std::string, std::optional<std::string>> schemeHandlers;
    std::vector<fs::path> folders;      // every applications folder walked, subfolders too
    std::optional<std::string> refusal; // the first file left out for being no regular file

    // On the reading thread.
    static std::unique_ptr<Reading> read(const Folders& folders, const std::vector<std::string>& schemesAsked);
};

namespace {

// One reading of the folders. Nothing is opened that could wait: folders and files are
// opened without blocking and files read only when they are regular, links followed; each
// folder is walked once, however many links lead to it.
class Walk {
public:
    Walk(ApplicationCatalog::Reading& reading, const Folders& folders) : reading_(reading), folders_(folders) {}

    void run(const std::vector<std::string>& schemesAsked) {
        for (const auto& folder : folders_.lists) readLists(folder);
        for (const auto& folder : folders_.applications) {
            readLists(folder);
            if (const auto bytes = bytesAt(folder / "defaults.list", maximumListSize, &reading_.refusal))
                lists_.push_back(Associations::of(*bytes, true));
            readCache(folder);
            walk(folder, "");
        }
        resolveSchemes(schemesAsked);
    }

private:
    void readLists(const fs::path& folder) {
        for (const auto& desktop : folders_.desktops) {
            if (const auto bytes = bytesAt(folder / (desktop + "-mimeapps.list"), maximumListSize, &reading_.refusal))
                lists_.push_back(Associations::of(*bytes, false));
        }
        if (const auto bytes = bytesAt(folder / "mimeapps.list", maximumListSize, &reading_.refusal))
            lists_.push_back(Associations::of(*bytes, false));
    }

    void readCache(const fs::path& folder) {
        const auto bytes = bytesAt(folder / "mimeinfo.cache", maximumListSize, &reading_.refusal);
        const KeyFile file = bytes ? keyFileOf(*bytes, nullptr) : nullptr;
        if (!file) return;
        for (const auto& key : takenList(g_key_file_get_keys(file.get(), "MIME Cache", nullptr, nullptr))) {
            if (!key.starts_with(schemeTypePrefix)) continue;
            auto& ids = declared_[key.substr(schemeTypePrefix.size())];
            for (const auto& id : takenList(g_key_file_get_string_list(file.get(), "MIME Cache", key.c_str(), nullptr, nullptr)))
                ids.emplace_back(withoutDesktopSuffix(id));
        }
    }

    void walk(const fs::path& folder, const std::string& prefix) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || !visited_.emplace(info.st_dev, info.st_ino).second)
            return;
        reading_.folders.push_back(folder);
        std::vector<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end; !error && it != end;
             it.increment(error))
            names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());
        for (const auto& name : names) {
            const fs::path path = folder / name;
            if (::stat(path.c_str(), &info) != 0) continue;
            if (S_ISDIR(info.st_mode)) {
                walk(path, prefix + name + "-");
                continue;
            }
            if (!name.ends_with(".desktop") || name.size() == std::string_view(".desktop").size()) continue;
            std::string id = prefix + std::string(withoutDesktopSuffix(name));
            // An id met again in a folder of lower precedence is left out, also when the first
            // is Hidden or its program not installed.
            if (seen_.contains(id)) continue;
            const auto bytes = bytesAt(path, maximumEntrySize, &reading_.refusal);
            if (!bytes) continue;
            seen_.insert(id);
            const KeyFile file = keyFileOf(*bytes, G_KEY_FILE_DESKTOP_GROUP);
            if (!file) continue;
            auto entry = applicationOf(file.get(), id, path);
            if (!entry || (entry->executable.empty() && !programsInstalled(file.get()))) continue;
            for (const auto& type : takenList(g_key_file_get_string_list(file.get(), G_KEY_FILE_DESKTOP_GROUP,
                                                                         G_KEY_FILE_DESKTOP_KEY_MIME_TYPE, nullptr, nullptr))) {
                if (type.starts_with(schemeTypePrefix)) declared_[type.substr(schemeTypePrefix.size())].push_back(id);
            }
            if (!entry->executable.empty()) {
                if (const auto resolved = resolveExecutable(entry->executable))
                    reading_.byExecutable[*resolved].push_back(reading_.entries.size());
            }
            installed_.emplace(entry->id, entry->path.string());
            reading_.entries.push_back(std::move(*entry));
        }
    }

    // The lists' default first, in their order of precedence; else the first installed entry
    // added for the scheme or declaring it, unless a list removed it.
    void resolveSchemes(const std::vector<std::string>& schemesAsked) {
        std::set<std::string> schemes(schemesAsked.begin(), schemesAsked.end());
        for (const auto& [scheme, ids] : declared_) schemes.insert(scheme);
        for (const auto& list : lists_) {
            for (const auto* group : {&list.defaults, &list.added}) {
                for (const auto& [scheme, ids] : *group) schemes.insert(scheme);
            }
        }
        for (const auto& scheme : schemes) reading_.schemeHandlers.emplace(scheme, handlerFor(scheme));
    }

    std::optional<std::string> handlerFor(const std::string& scheme) const {
        const auto installed = [&](const std::string& id) -> std::optional<std::string> {
            if (const auto found = installed_.find(id); found != installed_.end()) return found->second;
            return std::nullopt;
        };
        const auto idsOf = [&](const std::map<std::string, std::vector<std::string>>& group) {
            const auto found = group.find(scheme);
            return found == group.end() ? std::vector<std::string>{} : found->second;
        };
        for (const auto& list : lists_) {
            for (const auto& id : idsOf(list.defaults)) {
                if (auto path = installed(id)) return path;
            }
        }
        std::set<std::string> removed;
        for (const auto& list : lists_) {
            for (const auto& id : idsOf(list.removed)) removed.insert(id);
        }
        std::vector<std::string> candidates;
        for (const auto& list : lists_) {
            for (const auto& id : idsOf(list.added)) candidates.push_back(id);
        }
        for (const auto& id : idsOf(declared_)) candidates.push_back(id);
        for (const auto& id : candidates) {
            if (removed.contains(id)) continue;
            if (auto path = installed(id)) return path;
        }
        return std::nullopt;
    }

    ApplicationCatalog::Reading& reading_;
    const Folders& folders_;
    std::set<std::pair<dev_t, ino_t>> visited_;
    std::set<std::string> seen_;
    std::map<std::string, std::string> installed_;             // id → path
    std::vector<Associations> lists_;                          // in order of precedence
    std::map<std::string, std::vector<std::string>> declared_; // scheme → ids, in order of precedence
};

} // namespace

std::unique_ptr<ApplicationCatalog::Reading> ApplicationCatalog::Reading::read(const Folders& folders,
                                                                               const std::vector<std::string>& schemesAsked) {
    auto reading = std::make_unique<Reading>();
    Walk(*reading, folders).run(schemesAsked);
    return reading;
}

// The watches of the folders whose files make the catalog: the applications folders with
// their subfolders, and the folders of the mimeapps lists. One inotify descriptor of our own,
// read by the GLib main context that delivers the readings: GIO's file monitors kept a thread
// of their own, woke it every four seconds while a folder was not there, and held their
// machinery in the idle launcher's memory (bench/IdleFootprint.cpp). A folder that is not
// there (yet) is waited for through its nearest existing ancestor, and read once it appears.
struct ApplicationCatalog::Monitor {
    ApplicationCatalog* catalog = nullptr;
    int fd = -1;
    GSource* source = nullptr;
    struct Watch {
        int descriptor = -1;
        bool listsOnly = false;
    };
    std::map<fs::path, Watch> folders; // folders watched themselves
    std::map<fs::path, bool> missing;  // fixed folders not there now → lists only
    std::map<fs::path, int> ancestors; // watched for the missing ones
    std::map<int, int> uses;           // descriptor → how many of the above share it
    std::set<fs::path> fixed;          // watched whether they are there or not, for good

    // No IN_MODIFY: a file is taken in once closed after writing, moved in, linked or removed.
    static constexpr std::uint32_t folderEvents = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                                  IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    static constexpr std::uint32_t ancestorEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    void open(GMainContext* context) {
        fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) return;
        source = g_unix_fd_source_new(fd, G_IO_IN);
        // GLib calls a descriptor's source with the descriptor and its condition too; the cast
        // is GLib's own (G_SOURCE_FUNC).
        const auto ready = +[](gint, GIOCondition, gpointer monitor) {
            static_cast<Monitor*>(monitor)->readEvents();
            return gboolean(G_SOURCE_CONTINUE);
        };
        g_source_set_callback(source, G_SOURCE_FUNC(ready), this, nullptr);
        g_source_attach(source, context);
    }

    int add(const fs::path& folder, std::uint32_t events) {
        const int descriptor = ::inotify_add_watch(fd, folder.c_str(), events | IN_MASK_ADD);
        if (descriptor >= 0) ++uses[descriptor];
        return descriptor;
    }
    void drop(int descriptor) {
        const auto found = uses.find(descriptor);
        if (found == uses.end() || --found->second > 0) return;
        uses.erase(found);
        ::inotify_rm_watch(fd, descriptor);
    }

    // In folders of lists only the mimeapps lists count.
    void watch(const fs::path& folder, bool listsOnly) {
        if (fd < 0 || folders.contains(folder) || missing.contains(folder)) return;
        const int descriptor = add(folder, folderEvents);
        if (descriptor >= 0) folders.emplace(folder, Watch{descriptor, listsOnly});
        else if (fixed.contains(folder)) waitFor(folder, listsOnly);
    }

    void waitFor(const fs::path& folder, bool listsOnly) {
        missing.emplace(folder, listsOnly);
        fs::path ancestor = folder;
        std::error_code error;
        while (ancestor.has_relative_path() && !fs::is_directory(ancestor, error)) ancestor = ancestor.parent_path();
        if (!ancestors.contains(ancestor)) {
            if (const int descriptor = add(ancestor, ancestorEvents); descriptor >= 0) ancestors.emplace(ancestor, descriptor);
        }
    }

    // Something was made on the way to a missing folder, or a watched one went: watches anew.
    // Answers whether a folder appeared.
    bool rewatchMissing() {
        const auto waiting = std::exchange(missing, {});
        for (const auto& [ancestor, descriptor] : std::exchange(ancestors, {})) drop(descriptor);
        bool appeared = false;
        for (const auto& [folder, listsOnly] : waiting) {
            watch(folder, listsOnly);
            appeared = appeared || folders.contains(folder);
        }
        return appeared;
    }

    void readEvents() {
        bool changed = false;
        bool rewatch = false;
        alignas(inotify_event) std::array<char, 4096> buffer;
        for (;;) {
            const ssize_t length = ::read(fd, buffer.data(), buffer.size());
            if (length < 0 && errno == EINTR) continue;
            if (length <= 0) break;
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    changed = rewatch = true;
                    continue;
                }
                for (auto it = folders.begin(); it != folders.end();) {
                    auto& [folder, watch] = *it;
                    if (watch.descriptor != event->wd) {
                        ++it;
                        continue;
                    }
                    const std::string_view name = event->len > 0 ? std::string_view(event->name) : std::string_view();
                    if (!watch.listsOnly || name.ends_with("mimeapps.list")) changed = true;
                    if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                        // Gone: a fixed folder is waited for again, a subfolder no longer read.
                        changed = rewatch = true;
                        drop(watch.descriptor);
                        if (fixed.contains(folder)) missing.emplace(folder, watch.listsOnly);
                        it = folders.erase(it);
                        continue;
                    }
                    ++it;
                }
                for (const auto& [ancestor, descriptor] : ancestors) rewatch = rewatch || descriptor == event->wd;
            }
        }
        if (rewatch && rewatchMissing()) changed = true;
        if (changed) catalog->invalidate();
    }

    // Drops the watches of subfolders no longer walked.
    void keepOnly(const std::vector<fs::path>& walked) {
        const std::set<fs::path> keep(walked.begin(), walked.end());
        for (auto it = folders.begin(); it != folders.end();) {
            if (keep.contains(it->first) || fixed.contains(it->first)) {
                ++it;
                continue;
            }
            drop(it->second.descriptor);
            it = folders.erase(it);
        }
    }

    ~Monitor() {
        if (source) {
            g_source_destroy(source);
            g_source_unref(source);
        }
        if (fd >= 0) ::close(fd);
    }
};

// Shared with the reading thread, which may outlive the catalog.
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
    monitor_->catalog = this;
    // Notices come through the GLib main context that is this thread's default now.
    monitor_->open(worker_->context);
    const Folders folders = Folders::current();
    for (const auto& folder : folders.lists) monitor_->fixed.insert(folder);
    for (const auto& folder : folders.applications) monitor_->fixed.insert(folder);
    for (const auto& folder : folders.lists) monitor_->watch(folder, true);
    for (const auto& folder : folders.applications) monitor_->watch(folder, false);
}

ApplicationCatalog::~ApplicationCatalog() { worker_->owner = nullptr; }

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
    if (loaded_ || worker_->running) return;
    Worker::start(worker_, schemesAsked_);
}

void ApplicationCatalog::adopt(Reading& reading) {
    worker_->running = false;
    ++loads_;
    // Said once, not at each of the readings that meet the same file.
    if (!reading.refusal) lastRefusal_.clear();
    else if (std::exchange(lastRefusal_, *reading.refusal) != *reading.refusal)
        diag::printLine(diag::Category::actions, *reading.refusal);
    entries_ = std::move(reading.entries);
    byExecutable_ = std::move(reading.byExecutable);
    schemeHandlers_ = std::move(reading.schemeHandlers);
    byPath_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) byPath_.emplace(entries_[i].path, i);
    for (const auto& folder : reading.folders) monitor_->watch(folder, false);
    monitor_->keepOnly(reading.folders);
    if (std::exchange(worker_->again, false)) {
        Worker::start(worker_, schemesAsked_);
        return;
    }
    loaded_ = true;
    for (auto& done : std::exchange(whenCurrent_, {})) done();
    for (const auto& observer : std::vector(readingObservers_)) observer();
}

void ApplicationCatalog::addReadingObserver(std::function<void()> observer) { readingObservers_.push_back(std::move(observer)); }

void ApplicationCatalog::nameApplicationsForPeople() {
    words::setApplicationNameSource([](const std::string& path) -> std::optional<std::string> {
        const Entry* entry = shared().findByPath(path);
        if (!entry || entry->name.empty()) return std::nullopt;
        return entry->name;
    });
    static bool observing = false;
    if (!std::exchange(observing, true)) shared().addReadingObserver([] { words::applicationNamesChanged(); });
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

const ApplicationCatalog::Entry* ApplicationCatalog::findByPath(const std::filesystem::path& path) {
    load();
    const auto found = byPath_.find(path);
    return found == byPath_.end() ? nullptr : &entries_[found->second];
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
