#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "support/SharedState.h"
#include "support/TempHome.h"

// fontconfig keeps its configuration until exit on purpose, and every widget test loads it.
// Emitted (weak) wherever this header is included, so each Qt test program has it once.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace tavlin::test {

// QCoreApplication::exit() leaves every later event loop of the thread returning at once, until
// the application's own loop has run: a test that quits would end the loops of all that follow.
inline void forgetRequestToQuit() {
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
    if (probe.exec() != -1) return;
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// One offscreen application for the whole test program, made on first use, on a 1280×720
// screen. It gets a home of its own, kept to the end of the program: Qt holds on to the
// folders it found first.
inline QApplication& offscreenApplication() {
    static QApplication* application = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
        static std::optional<TempHome> home;
        home.emplace();
        // The smallest screen our windows must fit, so that every widget test runs on it.
        const auto screens = home->root() / "offscreen-screens.json";
        std::ofstream(screens) << R"({"screens": [{"name": "Small", "x": 0, "y": 0, "width": 1280, "height": 720}]})";
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.string()).c_str(), 1);
        static int argc = 1;
        static char name[] = "tavlin-tests";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
        resetAfterEachTest(forgetRequestToQuit);
        return made;
    }();
    return *application;
}

// Runs `drive` on a shown top-level `Window` (a modal one, say) from the event loop that runs
// it, once it is up: a window may come only after events ran meanwhile (the list of
// applications waits for a reading). Fails after some 20 s without one.
template <class Window, class Drive>
void whenShown(Drive drive, int triesLeft = 2000) {
    QTimer::singleShot(triesLeft == 2000 ? 0 : 10, [drive, triesLeft] {
        Window* shown = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<Window*>(widget); found && found->isVisible()) shown = found;
        if (shown) drive(*shown);
        else if (triesLeft > 0) whenShown<Window>(drive, triesLeft - 1);
        else ADD_FAILURE() << "the window never showed";
    });
}

} // namespace tavlin::test
