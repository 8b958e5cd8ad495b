#include "platform/files/FileAccessProbe.h"

#include <mutex>

#include <unistd.h>

namespace tavlin::fileAccess {
namespace {

std::mutex& probeMutex() {
    static std::mutex m;
    return m;
}

Probe& currentProbe() {
    static Probe probe;
    return probe;
}

bool check(const std::filesystem::path& path, Mode mode) {
    Probe probe;
    {
        std::lock_guard lock(probeMutex());
        probe = currentProbe();
    }
    if (probe) return probe(path, mode);
    return ::access(path.c_str(), mode == Mode::read ? R_OK : R_OK | W_OK) == 0;
}

} // namespace

bool isReadable(const std::filesystem::path& path) { return check(path, Mode::read); }
bool isReadWritable(const std::filesystem::path& path) { return check(path, Mode::readWrite); }

Probe setProbe(Probe probe) {
    std::lock_guard lock(probeMutex());
    Probe previous = std::move(currentProbe());
    currentProbe() = std::move(probe);
    return previous;
}

} // namespace tavlin::fileAccess
