#pragma once

#include <filesystem>

namespace tavlin::xdg {

// Tells of files of one folder written, replaced, moved or removed by anyone, through a
// descriptor the event loop watches (inotify). A folder made only later is waited for: its
// nearest existing ancestor is watched until it appears. Files being made are not reported
// until they are closed, so nobody reads one half written.
class FolderWatch {
public:
    explicit FolderWatch(std::filesystem::path folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // -1 when the system offers no watch.
    int fileDescriptor() const { return fd_; }
    // Reads the events pending without waiting; answers whether the folder's files may have
    // changed since the last call.
    bool processPendingEvents();

private:
    // Watches the folder, or its nearest existing ancestor, when that is another path than the
    // one watched or `again` (the watched one was replaced); answers whether it did.
    bool watchNearest(bool again);

    std::filesystem::path folder_;
    std::filesystem::path watched_;
    int fd_ = -1;
    int watch_ = -1;
};

} // namespace tavlin::xdg
