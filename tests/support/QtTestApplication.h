#pragma once

#include <cstdlib>
#include <optional>

#include <QtWidgets/QApplication>

#include "support/TempHome.h"

namespace tavlin::test {

// One offscreen application for the whole test program, made on first use. It gets a home of
// its own, kept to the end of the program: Qt holds on to the folders it found first.
inline QApplication& offscreenApplication() {
    static QApplication* application = [] {
        if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return existing;
        static std::optional<TempHome> home;
        home.emplace();
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "tavlin-tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *application;
}

} // namespace tavlin::test
