#include "platform/compat/Bookmark.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <sys/stat.h>

namespace tavlin::bookmark {

namespace {

// Layout, all integers little-endian:
//   "TVBK", version (1 byte), creation options (4), is-folder flag (1), device (8), inode (8),
//   path length (4), path bytes.
constexpr std::string_view magic = "TVBK";
constexpr std::uint8_t currentVersion = 1;
constexpr std::size_t headerSize = 4 + 1 + 4 + 1 + 8 + 8 + 4;

void putInteger(Data& data, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t takeInteger(const Data& data, std::size_t& offset, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{data[offset + i]} << (8 * i);
    offset += bytes;
    return value;
}

BookmarkError corrupt(const std::string& detail) {
    return BookmarkError(BookmarkError::Kind::corrupt, "The bookmark data is not valid: " + detail + ".");
}

BookmarkError missing(const std::string& path, int error) {
    return BookmarkError(BookmarkError::Kind::fileNotFound,
                         "The item “" + path + "” could not be found (" + std::strerror(error) + ").");
}

struct Record {
    std::uint32_t options = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string path;
};

Record decode(const Data& data) {
    if (data.size() < headerSize || !std::equal(magic.begin(), magic.end(), data.begin())) {
        throw corrupt("unknown format");
    }
    std::size_t offset = magic.size();
    auto version = takeInteger(data, offset, 1);
    if (version != currentVersion) throw corrupt("unsupported version " + std::to_string(version));
    Record record;
    record.options = static_cast<std::uint32_t>(takeInteger(data, offset, 4));
    auto folderFlag = takeInteger(data, offset, 1);
    record.device = takeInteger(data, offset, 8);
    record.inode = takeInteger(data, offset, 8);
    auto length = takeInteger(data, offset, 4);
    if (folderFlag > 1) throw corrupt("bad folder flag");
    if (length != data.size() - headerSize) throw corrupt("bad path length");
    record.path.assign(data.begin() + static_cast<std::ptrdiff_t>(offset), data.end());
    if (record.path.empty() || record.path.front() != '/' || record.path.find('\0') != std::string::npos) {
        throw corrupt("bad path");
    }
    return record;
}

} // namespace

BookmarkError::BookmarkError(Kind kind, const std::string& localizedDescription)
    : std::runtime_error(localizedDescription), kind_(kind) {}

Data create(const FileUrl& url, std::uint32_t creationOptions) {
    struct stat status {};
    if (::stat(url.path().c_str(), &status) != 0) throw missing(url.path(), errno);
    Data data(magic.begin(), magic.end());
    putInteger(data, currentVersion, 1);
    putInteger(data, creationOptions, 4);
    putInteger(data, S_ISDIR(status.st_mode) ? 1 : 0, 1);
    putInteger(data, static_cast<std::uint64_t>(status.st_dev), 8);
    putInteger(data, static_cast<std::uint64_t>(status.st_ino), 8);
    putInteger(data, url.path().size(), 4);
    data.insert(data.end(), url.path().begin(), url.path().end());
    return data;
}

Resolution resolve(const Data& data, std::uint32_t resolutionOptions) {
    Record record = decode(data);
    struct stat status {};
    if (::stat(record.path.c_str(), &status) != 0) throw missing(record.path, errno);
    bool sameItem = static_cast<std::uint64_t>(status.st_dev) == record.device &&
                    static_cast<std::uint64_t>(status.st_ino) == record.inode;
    FileUrl url(record.path, S_ISDIR(status.st_mode));
    bool scoped = (record.options & (creationWithSecurityScope | creationSecurityScopeAllowOnlyReadAccess)) != 0 &&
                  (resolutionOptions & resolutionWithSecurityScope) != 0;
    if (scoped) url = url.withSecurityScope(url.path());
    return Resolution{std::move(url), !sameItem};
}

} // namespace tavlin::bookmark
