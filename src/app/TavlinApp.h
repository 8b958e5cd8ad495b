#pragma once

#include <memory>
#include <string>
#include <variant>

#include "model/Configuration.h"

class QApplication;

namespace tavlin {

namespace app {
struct EarlyStart;
}

// The running application: the event loop, the delegate, the windows, and every desktop
// service the engine reaches through the platform layer, wired together for the process's life.
// Start-up makes the desktop connections, the input window and the leader keys first, and the
// configuration window on a later turn, so a leader key typed in the first moments opens a
// session that nothing covers. At the end every service is uninstalled before the objects
// behind it go, and the instance lock after the connection holding the leader keys' grabs, so a
// start that finds it free finds the keys free; a termination signal also arms an alarm, so the process ends even when the main
// thread never gets back to its loop.
class TavlinApp {
public:
    // The configuration as loaded at start for the configuration window: the configuration, or
    // the sentence of the error that kept it from loading.
    using LoadedConfiguration = std::variant<std::shared_ptr<Configuration>, std::string>;

    explicit TavlinApp(QApplication& application);
    // With the executable's head start, taken over here: the instance lock and the grabbed
    // leader keys (null: none).
    TavlinApp(QApplication& application, std::unique_ptr<app::EarlyStart> early);
    ~TavlinApp();
    TavlinApp(const TavlinApp&) = delete;
    TavlinApp& operator=(const TavlinApp&) = delete;

    // Launches, handles `url` when not empty, and runs until the application quits.
    int run(const std::string& url);

    // Loads the configuration, generating it from the flat rows when it is missing or was
    // generated before.
    static LoadedConfiguration loadConfigurationForWindow();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace tavlin
