#pragma once

#include <functional>

namespace tavlin::flateditor {

// Keeps the leader keys off while the sheet's recorder has focus, so that recording a
// combination does not open the input window, and makes sure they come back when the sheet
// closes. Focus reports that repeat the current state change nothing.
class LeaderKeySuspension {
public:
    struct Switches {
        std::function<void()> unregisterAll;
        std::function<void()> reload;
    };

    // The leader keys of the running engine (through the shell's services).
    LeaderKeySuspension();
    explicit LeaderKeySuspension(Switches switches);

    bool isSuspended() const { return suspended_; }

    // The recorder gained (true) or lost (false) focus.
    void recorderFocusChanged(bool focused);
    // The sheet closes: reloads once when the keys are still off, or when `reload` asks for it
    // anyway (the Cancel of the editable sheet). Later focus reports are ignored.
    void sheetClosed(bool reload = false);

private:
    Switches switches_;
    bool suspended_ = false;
    bool closed_ = false;
};

} // namespace tavlin::flateditor
