#include "app/EarlyStart.h"

#include <csignal>
#include <cstdlib>

#include "model/Configuration.h"
#include "model/LeaderKeyPreview.h"

namespace tavlin::app {

std::unique_ptr<EarlyStart> startEarly() {
    // Its lines go to standard output like the application's, which may be a pipe whose reader
    // is gone: the write fails instead of ending the start.
    std::signal(SIGPIPE, SIG_IGN);
    auto hotKeys = X11HotKeyRegistrar::open();
    if (!hotKeys) return nullptr;
    auto early = std::make_unique<EarlyStart>();
    const char* spelled = std::getenv("DISPLAY");
    early->lockState = early->lock.acquire(InstanceLock::displayName(hotKeys->fileDescriptor(), spelled ? spelled : ""));
    if (*early->lockState != InstanceLock::State::held) return early;
    // The keys as the file names them now; the application registers what the configuration
    // holds once it is loaded (regenerated from the flat rows, upgraded), and the grabs no
    // registration claims are let go then. A refused key is told by that registration.
    if (const auto file = Configuration::fileURL()) {
        if (const auto combinations = previewLeaderKeyCombinationsOfFile(*file)) {
            for (const auto& [keyCode, modifiers] : *combinations) hotKeys->registerHotKey(keyCode, modifiers, 0);
        }
    }
    early->hotKeys = X11HotKeyRegistrar::detach(std::move(hotKeys));
    return early;
}

} // namespace tavlin::app

void* tavlinStartEarly() noexcept {
    // No exception may cross into the executable: the application then starts as it would
    // without this library, and what was taken here went with the unwinding.
    try {
        return tavlin::app::startEarly().release();
    } catch (...) {
        return nullptr;
    }
}

void tavlinDiscardEarlyStart(void* early) noexcept { delete static_cast<tavlin::app::EarlyStart*>(early); }
