#include "platform/linux/FolderWatch.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

namespace tavlin::xdg {
namespace {

// No IN_CREATE or IN_MODIFY for the folder's files: a file is reported once written and closed,
// or moved in whole (an atomic replace makes a new file there).
constexpr std::uint32_t folderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_DELETE_SELF |
                                       IN_MOVE_SELF;
// An ancestor only matters for the folders on the way being made.
constexpr std::uint32_t ancestorEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FolderWatch::FolderWatch(std::filesystem::path folder) : folder_(std::move(folder)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) watchNearest(true);
}

FolderWatch::~FolderWatch() {
    if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::watchNearest(bool again) {
    std::filesystem::path target = folder_;
    std::error_code error;
    while (!std::filesystem::is_directory(target, error) && target.has_relative_path()) target = target.parent_path();
    if (!again && target == watched_ && watch_ >= 0) return false;
    if (watch_ >= 0) ::inotify_rm_watch(fd_, watch_);
    watch_ = ::inotify_add_watch(fd_, target.c_str(), target == folder_ ? folderEvents : ancestorEvents);
    watched_ = target;
    return true;
}

bool FolderWatch::processPendingEvents() {
    if (fd_ < 0) return false;
    bool changed = false;
    bool lost = false;        // the watched folder went, or events were dropped
    bool nearerMaybe = false; // something was made in an ancestor
    alignas(inotify_event) std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t length = ::read(fd_, buffer.data(), buffer.size());
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) changed = lost = true;
            // Events of a watch replaced before (its removal among them) are old news.
            if (event->wd != watch_) continue;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) lost = true;
            else if (watched_ == folder_) changed = true;
            else nearerMaybe = true;
        }
    }
    // A folder that appears may already hold files.
    if ((lost || nearerMaybe) && watchNearest(lost) && watched_ == folder_) changed = true;
    return changed;
}

} // namespace tavlin::xdg
