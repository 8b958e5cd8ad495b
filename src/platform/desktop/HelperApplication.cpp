#include "platform/desktop/HelperApplication.h"

#include <mutex>

namespace tavlin {
namespace {

std::mutex& probeMutex() {
    static std::mutex m;
    return m;
}

std::function<bool()>& probe() {
    static std::function<bool()> p;
    return p;
}

} // namespace

bool isHelperRunning() {
    std::function<bool()> current;
    {
        std::lock_guard lock(probeMutex());
        current = probe();
    }
    return current ? current() : false;
}

void setHelperRunningProbe(std::function<bool()> replacement) {
    std::lock_guard lock(probeMutex());
    probe() = std::move(replacement);
}

} // namespace tavlin
