#pragma once

// What the benchmarks that start the real application share: which `tavlin` they measure, and
// their own path, which they start again as the bare Qt floor.

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace tavlin::bench {

// TAVLIN_BENCH_EXECUTABLE names another build's `tavlin` (its libraries beside it); else this build's.
inline std::string measuredExecutable() {
    const char* other = std::getenv("TAVLIN_BENCH_EXECUTABLE");
    return other && *other ? other : TAVLIN_EXECUTABLE;
}

// Empty when /proc cannot tell.
inline std::string thisExecutable() {
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string();
}

} // namespace tavlin::bench
