#include "app/ApplicationLoader.h"

#include <climits>
#include <cstdio>
#include <optional>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

#include "app/InstanceHandOver.h"
#include "platform/dbus/SessionBusPoster.h"

namespace tavlin {
namespace {

constexpr const char* libraryName = "libtavlin_application.so";

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
    void* library = nullptr;
    for (const std::string& candidate : {folder + "/" + libraryName, folder + "/../lib/" + libraryName}) {
        // Lazily bound: resolving every function of it and of Qt up front was a fifth of the
        // time to the first leader key.
        library = ::dlopen(candidate.c_str(), RTLD_LAZY | RTLD_LOCAL);
        if (library) break;
    }
    if (!library) {
        std::fprintf(stderr, "tavlin: cannot load %s: %s\n", libraryName, ::dlerror());
        return 1;
    }
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(::dlsym(library, "tavlinRunApplication"));
    if (!entry) {
        std::fprintf(stderr, "tavlin: %s has no application entry\n", libraryName);
        return 1;
    }
    return entry(argc, argv);
}

} // namespace tavlin
