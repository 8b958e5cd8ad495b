#pragma once

#include <cstdlib>

#include <QtWidgets/QApplication>

namespace tavlin::test {

// One offscreen application for the whole test program.
inline QApplication& offscreenApplication() {
    static QApplication* application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "tavlin-tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *application;
}

} // namespace tavlin::test
