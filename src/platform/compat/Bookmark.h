#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/FileUrl.h"

// Bookmark data: an opaque, versioned record of a file's path and identity (device and inode),
// so that a later run finds the item again and notices when it was replaced.
namespace tavlin::bookmark {

using Data = std::vector<std::uint8_t>;

// Creation options; the values are those that stored data and callers use.
enum CreationOptions : std::uint32_t {
    creationNone = 0,
    creationWithSecurityScope = 0x800,
    creationSecurityScopeAllowOnlyReadAccess = 0x1000,
};

// Resolution options.
enum ResolutionOptions : std::uint32_t {
    resolutionNone = 0,
    resolutionWithoutUI = 0x100,
    resolutionWithSecurityScope = 0x400,
};

class BookmarkError : public std::runtime_error {
public:
    enum class Kind {
        fileNotFound, // the item is gone, or was never there
        corrupt,      // not bookmark data, or a version this program cannot read
    };
    BookmarkError(Kind kind, const std::string& localizedDescription);
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

struct Resolution {
    // Carries a security scope (rooted at itself) when the data was created with a security
    // scope and resolution asked for one.
    FileUrl url;
    // The item at the recorded path is no longer the one recorded: the data should be made anew.
    bool isStale = false;
};

// Records the item at the URL's path. Throws BookmarkError when nothing is there.
Data create(const FileUrl& url, std::uint32_t creationOptions);
// Throws BookmarkError for data that is not a bookmark, or whose item no longer exists.
Resolution resolve(const Data& data, std::uint32_t resolutionOptions);

} // namespace tavlin::bookmark
