#include "app/Application.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include <QtWidgets/QApplication>

#include "app/EarlyStart.h"
#include "app/InstanceHandOver.h"
#include "app/TavlinApp.h"
#include "model/Configuration.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/qt/FocusRing.h"
#include "platform/x11/X11InputSources.h"

namespace {

bool hasDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (display && *display) || (platform && *platform);
}

} // namespace

extern "C" int tavlinRunApplicationAfterEarlyStart(int argc, char** argv, void* early) {
    using namespace tavlin;
    std::unique_ptr<app::EarlyStart> earlyStart(static_cast<app::EarlyStart*>(early));
    // Diagnostics go to standard output, often a pipe to a log collector; when the reader goes
    // away a write fails (and is dropped) instead of ending the launcher. Children get the
    // default back when they are spawned.
    std::signal(SIGPIPE, SIG_IGN);
    // The executable has handed over to a running instance already, before loading this library.
    const std::string url = app::instanceHandOver::urlArgument(argc, argv);
    if (!hasDisplay()) {
        std::fputs("tavlin: no X11 display (DISPLAY is not set); the launcher needs an X11 session\n", stderr);
        return 1;
    }
    // Key names and the order of keys come from the X server's layout, whatever first needs
    // them (the upgrade below, the configuration's compilation), not from a built-in one.
    setCurrentKeyboardLayoutSource([]() -> std::shared_ptr<const KeyboardLayout> {
        const auto sources = X11InputSources::open();
        return sources ? sources->currentLayout() : nullptr;
    });
    // An older configuration is brought up to date before anything reads it.
    Configuration::upgradeFileIfNeeded();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlin"));
    QApplication::setStyle(qt::makeFocusRingStyle());
    QGuiApplication::setDesktopFileName(QStringLiteral("tavlin"));
    TavlinApp app(application, std::move(earlyStart));
    return app.run(url);
}

extern "C" int tavlinRunApplication(int argc, char** argv) { return tavlinRunApplicationAfterEarlyStart(argc, argv, nullptr); }
