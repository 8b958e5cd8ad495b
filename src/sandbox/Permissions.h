#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "platform/compat/Bookmark.h"
#include "platform/files/FileUrl.h"

namespace tavlin::sandbox {

// What access the process has to a URL, as an option set.
struct Permissions {
    std::int64_t rawValue = 0;

    constexpr Permissions() = default;
    constexpr explicit Permissions(std::int64_t raw) : rawValue(raw) {}
    // Joins the options.
    constexpr Permissions(std::initializer_list<Permissions> options) {
        for (auto option : options) rawValue |= option.rawValue;
    }

    static const Permissions none;
    static const Permissions bookmark;  // a stored bookmark covers the URL
    static const Permissions read;      // readable now
    static const Permissions readWrite; // readable and writable now
    static const Permissions anyRead;
    static const Permissions anyReadWrite;

    constexpr bool isEmpty() const { return rawValue == 0; }
    constexpr bool contains(Permissions option) const { return (rawValue & option.rawValue) == option.rawValue; }
    constexpr bool sharesAnyRead() const { return (rawValue & 3) != 0; }
    constexpr bool sharesAnyReadWrite() const { return (rawValue & 5) != 0; }
    // An empty requirement is always met; otherwise one shared option is enough.
    constexpr bool meets(Permissions requirement) const {
        return requirement.isEmpty() || (rawValue & requirement.rawValue) != 0;
    }

    friend constexpr Permissions operator|(Permissions a, Permissions b) { return Permissions(a.rawValue | b.rawValue); }
    friend constexpr bool operator==(Permissions, Permissions) = default;
};

inline constexpr Permissions Permissions::none = Permissions(0);
inline constexpr Permissions Permissions::bookmark = Permissions(1);
inline constexpr Permissions Permissions::read = Permissions(2);
inline constexpr Permissions Permissions::readWrite = Permissions(4);
inline constexpr Permissions Permissions::anyRead = Permissions(3);
inline constexpr Permissions Permissions::anyReadWrite = Permissions(5);

// What a request found out about a URL.
struct AccessInfo {
    // The URL through which security-scoped access is started; absent when no stored bookmark
    // covers the path or the bookmark could not be resolved.
    std::optional<FileUrl> securityScopedURL;
    // The stored bookmark found for the path (or its fresh replacement).
    std::optional<bookmark::Data> bookmarkData;
    Permissions permissions;

    static const AccessInfo empty;

    friend bool operator==(const AccessInfo&, const AccessInfo&) = default;
};

inline const AccessInfo AccessInfo::empty{};

} // namespace tavlin::sandbox
