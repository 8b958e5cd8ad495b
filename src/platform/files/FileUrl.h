#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavlin {

// A file URL: an absolute path plus whether it names a folder (written with a final "/").
// The folder mark is part of the URL's text, so "file:///a/b" and "file:///a/b/" differ, as
// stored bookmark keys rely on.
//
// A URL may also carry a security scope: the path of the granted item through which it is
// reached. Bookmark resolution and the open panel hand out such URLs; the scope is not part of
// the URL's identity (equality and order ignore it).
class FileUrl {
public:
    // `path` is made absolute against the current directory and its repeated "/" collapsed; a
    // final "/" also marks a folder. Nothing else is changed ("." and ".." stay).
    FileUrl(std::string_view path, bool isDirectory);
    // A folder URL when the path ends in "/" or names an existing folder now.
    static FileUrl fromPath(std::string_view path);

    // The path without a final "/" ("/" for the root).
    const std::string& path() const { return path_; }
    bool hasDirectoryPath() const { return isDirectory_; }
    // "file://" and the percent-encoded path, with a final "/" for a folder.
    std::string absoluteString() const;
    // "/" first, then every name: "/a/b/" gives "/", "a", "b".
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    // The enclosing folder (a folder URL); the root stays the root.
    FileUrl deletingLastPathComponent() const;
    FileUrl appendingPathComponents(const std::vector<std::string>& components, bool isDirectory) const;
    // "." and ".." removed lexically.
    FileUrl standardized() const;
    // Symbolic links in the existing part of the path resolved; the rest is kept as written.
    FileUrl resolvingSymlinksInPath() const;
    // Whether `other` is this item or lies below it, compared by path components.
    bool contains(const FileUrl& other) const;

    const std::optional<std::string>& securityScope() const { return securityScope_; }
    FileUrl withSecurityScope(std::string scopePath) const;
    FileUrl withoutSecurityScope() const;

    friend bool operator==(const FileUrl& a, const FileUrl& b) { return a.path_ == b.path_ && a.isDirectory_ == b.isDirectory_; }
    friend std::strong_ordering operator<=>(const FileUrl& a, const FileUrl& b) {
        if (auto order = a.path_ <=> b.path_; order != 0) return order;
        return a.isDirectory_ <=> b.isDirectory_;
    }

private:
    FileUrl() = default;

    std::string path_ = "/";
    bool isDirectory_ = true;
    std::optional<std::string> securityScope_;
};

} // namespace tavlin
