#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// Facts about the running copy and the machine, one line each, for the support mail.
class DeviceInfo {
public:
    enum class InfoKind { osVersion, deviceModel, appVersion };

    // Where the facts come from. Every source is read at most once per description, and a
    // source that cannot be read only shortens the text.
    struct Sources {
        // The first one that can be read names the system.
        std::vector<std::filesystem::path> osReleaseFiles{"/etc/os-release", "/usr/lib/os-release"};
        // The kernel's release text, as uname gives it.
        std::function<std::string()> kernelRelease;
        // The first one that gives a name names the machine.
        std::vector<std::filesystem::path> modelFiles{"/sys/class/dmi/id/product_name", "/proc/device-tree/model"};
    };

    DeviceInfo() = delete;

    // The lines of the facts asked for, in that order, joined by line feeds; a fact that cannot
    // be had is left out.
    static std::string description(const std::vector<InfoKind>& kinds);
    // "<short version> (<build>)"; nothing when either is missing.
    static std::optional<std::string> appVersion();

    // The system's name and the kernel's version: "Debian GNU/Linux 12 (bookworm), Linux 6.1.0".
    static std::optional<std::string> osVersion();
    static std::optional<std::string> deviceModel();

    // Replaces the sources; nothing puts back the machine's own.
    static void setSources(std::optional<Sources> sources);
};

} // namespace tavlin
