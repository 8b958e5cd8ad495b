#pragma once

#include <cstdlib>
#include <optional>

#include <QtWidgets/QApplication>

#include "support/TempHome.h"

// fontconfig keeps its configuration until exit on purpose, and every widget test loads it.
// Emitted (weak) wherever this header is included, so each Qt test program has it once.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

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
