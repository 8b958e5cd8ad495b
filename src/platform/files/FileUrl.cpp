#include "platform/files/FileUrl.h"

#include <filesystem>
#include <system_error>

namespace tavlin {

namespace fs = std::filesystem;

namespace {

// The characters a URL path keeps as they are; every other byte is percent-encoded.
bool keepsInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

std::vector<std::string> splitNames(const std::string& path) {
    std::vector<std::string> names;
    std::size_t start = 1;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string joinNames(const std::vector<std::string>& names) {
    if (names.empty()) return "/";
    std::string path;
    for (const auto& name : names) path += "/" + name;
    return path;
}

} // namespace

FileUrl::FileUrl(std::string_view path, bool isDirectory) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        std::error_code ec;
        std::string base = fs::current_path(ec).string();
        if (ec || base.empty()) base = "/";
        if (absolute.empty()) {
            absolute = base;
            isDirectory = true;
        } else {
            absolute.insert(0, base + "/");
        }
    }
    if (absolute.size() > 1 && absolute.back() == '/') isDirectory = true;
    path_ = joinNames(splitNames(absolute));
    isDirectory_ = isDirectory || path_ == "/";
}

FileUrl FileUrl::fromPath(std::string_view path) {
    std::error_code ec;
    bool isDirectory = !path.empty() && fs::is_directory(fs::path(std::string(path)), ec);
    return FileUrl(path, isDirectory);
}

std::string FileUrl::absoluteString() const {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text = "file://";
    for (unsigned char c : path_) {
        if (keepsInPath(c)) {
            text += static_cast<char>(c);
        } else {
            text += '%';
            text += hex[c >> 4];
            text += hex[c & 0xF];
        }
    }
    if (isDirectory_ && path_ != "/") text += '/';
    return text;
}

std::vector<std::string> FileUrl::pathComponents() const {
    std::vector<std::string> components{"/"};
    for (auto& name : splitNames(path_)) components.push_back(std::move(name));
    return components;
}

std::string FileUrl::lastPathComponent() const { return pathComponents().back(); }

FileUrl FileUrl::deletingLastPathComponent() const {
    auto names = splitNames(path_);
    if (!names.empty()) names.pop_back();
    FileUrl parent;
    parent.path_ = joinNames(names);
    parent.isDirectory_ = true;
    return parent;
}

FileUrl FileUrl::appendingPathComponents(const std::vector<std::string>& components, bool isDirectory) const {
    std::string path = path_;
    for (const auto& name : components) path += "/" + name;
    FileUrl result(path, isDirectory);
    result.securityScope_ = securityScope_;
    return result;
}

FileUrl FileUrl::standardized() const {
    std::vector<std::string> names;
    bool endsInDots = false;
    for (const auto& name : splitNames(path_)) {
        endsInDots = name == "." || name == "..";
        if (name == ".") continue;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    FileUrl result = *this;
    result.path_ = joinNames(names);
    result.isDirectory_ = isDirectory_ || endsInDots || result.path_ == "/";
    return result;
}

FileUrl FileUrl::resolvingSymlinksInPath() const {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(fs::path(path_), ec);
    if (ec || resolved.empty()) return *this;
    FileUrl result(resolved.string(), isDirectory_);
    result.securityScope_ = securityScope_;
    return result;
}

bool FileUrl::contains(const FileUrl& other) const {
    auto mine = splitNames(path_);
    auto theirs = splitNames(other.path_);
    if (mine.size() > theirs.size()) return false;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        if (mine[i] != theirs[i]) return false;
    }
    return true;
}

FileUrl FileUrl::withSecurityScope(std::string scopePath) const {
    FileUrl result = *this;
    result.securityScope_ = std::move(scopePath);
    return result;
}

FileUrl FileUrl::withoutSecurityScope() const {
    FileUrl result = *this;
    result.securityScope_.reset();
    return result;
}

} // namespace tavlin
