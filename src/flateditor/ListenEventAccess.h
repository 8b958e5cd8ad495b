#pragma once

#include <functional>

namespace tavlin::flateditor {

// The input-monitoring permission as the editor sees it. On X11 it means that the listen-only
// observer of all input (XInput 2 raw events) runs: a keyboard event monitor is installed, says
// it may listen, and the observer is started.
// The shell installs the request; tests install fakes.
struct ListenEventAccess {
    // Whether listening is possible now, asking nobody.
    std::function<bool()> preflight;
    // Tries to make listening possible; answers whether it is.
    std::function<bool()> request;

    // By default preflight asks the installed keyboard monitor and request only checks again.
    static ListenEventAccess& shared();
};

} // namespace tavlin::flateditor
