#include "app/ApplicationLoader.h"

#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include <dlfcn.h>
#include <unistd.h>

#include "app/InstanceHandOver.h"
#include "platform/dbus/SessionBusPoster.h"

namespace tavlin {
namespace {

constexpr const char* libraryName = "libtavlin_application.so";
constexpr const char* startLibraryName = "libtavlin_start.so";

// The folder of the running executable, from the kernel rather than argv[0], which may be
// anything.
std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string folder(path, static_cast<std::size_t>(length));
    const auto slash = folder.rfind('/');
    return slash == std::string::npos ? "." : folder.substr(0, slash);
}

// The library of that name beside the executable or in the lib folder next to it; null when
// neither loads (the reason is left in dlerror).
void* loadLibrary(const std::string& folder, const char* name) {
    for (const std::string& candidate : {folder + "/" + name, folder + "/../lib/" + name}) {
        // Lazily bound: resolving every function of it and of Qt up front was a fifth of the
        // time to the first leader key.
        if (void* library = ::dlopen(candidate.c_str(), RTLD_LAZY | RTLD_LOCAL)) return library;
    }
    return nullptr;
}

} // namespace

int loadAndRunApplication(int argc, char** argv) {
    // Another start while the application runs hands over to it before touching anything, and
    // before loading the application's libraries, which would take several times as long.
    const std::string url = app::instanceHandOver::urlArgument(argc, argv);
    if (sessionBus::callOwnedService(app::instanceHandOver::serviceName, app::instanceHandOver::objectPath,
                                     app::instanceHandOver::interfaceName, url.empty() ? "Activate" : "OpenURL",
                                     url.empty() ? std::nullopt : std::optional<std::string>(url), 5000))
        return 0;
    const std::string folder = executableFolder();
    // The leader keys are grabbed first, by a small library, while the application's own (Qt
    // and the rest, most of the start-up's time) loads after; without it the application does
    // everything itself, later.
    void* early = nullptr;
    using DiscardEntry = void (*)(void*);
    DiscardEntry discard = nullptr;
    void* start = loadLibrary(folder, startLibraryName);
    if (start) {
        using StartEntry = void* (*)();
        const auto entry = reinterpret_cast<StartEntry>(::dlsym(start, "tavlinStartEarly"));
        discard = reinterpret_cast<DiscardEntry>(::dlsym(start, "tavlinDiscardEarlyStart"));
        // Only what can be let go again is made: the application library may be one that
        // cannot take it over.
        if (entry && discard) early = entry();
    }
    void* library = loadLibrary(folder, libraryName);
    const char* loadError = library ? nullptr : ::dlerror();
    const std::string why = loadError ? loadError : "";
    using Entry = int (*)(int, char**, void*);
    const auto entry = library ? reinterpret_cast<Entry>(::dlsym(library, "tavlinRunApplicationAfterEarlyStart")) : nullptr;
    // An application from before the early start takes the lock and grabs the keys itself:
    // what was taken here is let go first, or it would find them held.
    if (!entry && early) discard(std::exchange(early, nullptr));
    // What it made is plain data the application takes over; its code is not used again. Let go
    // once the application's library holds the libraries both use, which then stay.
    if (start) ::dlclose(start);
    if (!library) {
        std::fprintf(stderr, "tavlin: cannot load %s: %s\n", libraryName, why.c_str());
        return 1;
    }
    if (entry) return entry(argc, argv, early);
    using OldEntry = int (*)(int, char**);
    const auto oldEntry = reinterpret_cast<OldEntry>(::dlsym(library, "tavlinRunApplication"));
    if (!oldEntry) {
        std::fprintf(stderr, "tavlin: %s has no application entry\n", libraryName);
        return 1;
    }
    return oldEntry(argc, argv);
}

} // namespace tavlin
