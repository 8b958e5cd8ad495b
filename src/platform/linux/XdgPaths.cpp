#include "platform/linux/XdgPaths.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/Files.h"

namespace tavlin::xdg {
namespace {

namespace fs = std::filesystem;

bool isExecutableFile(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // Root passes access(X_OK) for any file with one execute bit; the bits decide for everyone.
    return (info.st_mode & 0111) != 0 && ::access(path.c_str(), X_OK) == 0;
}

std::optional<fs::path> realPath(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    if (ec) return std::nullopt;
    return resolved;
}

} // namespace

bool isUrl(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(text[0])) return false;
    return std::all_of(text.begin() + 1, text.begin() + static_cast<std::ptrdiff_t>(colon),
                       [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; });
}

std::optional<std::string> localPathOfFileUrl(std::string_view url) {
    constexpr std::string_view scheme = "file:";
    if (url.size() < scheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return std::nullopt;
    }
    std::string_view rest = url.substr(scheme.size());
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && host != "localhost") return std::nullopt;
        rest.remove_prefix(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.empty() || rest.front() != '/') return std::nullopt;
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        if (i + 2 >= rest.size() || !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
            return std::nullopt;
        }
        const char byte = static_cast<char>(std::stoi(std::string(rest.substr(i + 1, 2)), nullptr, 16));
        if (byte == '\0') return std::nullopt;
        path += byte;
        i += 2;
    }
    return path;
}

std::optional<std::filesystem::path> resolveExecutable(const std::string& program) {
    if (program.empty() || program.find('\0') != std::string::npos) return std::nullopt;
    if (program.find('/') != std::string::npos) {
        if (!isExecutableFile(program)) return std::nullopt;
        return realPath(program);
    }
    const char* variable = std::getenv("PATH");
    const std::string_view searchPath = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        auto end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        const fs::path folder(searchPath.substr(start, end - start));
        start = end + 1;
        // Empty or relative entries would search wherever we happen to be.
        if (!folder.is_absolute()) continue;
        const fs::path candidate = folder / program;
        if (isExecutableFile(candidate)) return realPath(candidate);
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> applicationDirectories() {
    std::vector<fs::path> directories;
    if (const auto dataHome = files::applicationSupportDirectory()) directories.push_back(*dataHome / "applications");
    const char* variable = std::getenv("XDG_DATA_DIRS");
    const std::string_view dataDirs = variable && *variable ? variable : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dataDirs.size()) {
        auto end = dataDirs.find(':', start);
        if (end == std::string_view::npos) end = dataDirs.size();
        const fs::path folder(dataDirs.substr(start, end - start));
        start = end + 1;
        if (folder.is_absolute()) directories.push_back(folder / "applications");
    }
    return directories;
}

} // namespace tavlin::xdg
