#include "app/Application.h"

#include <string>

#include <QtWidgets/QApplication>

#include "app/TavlinApp.h"
#include "model/Configuration.h"

extern "C" int tavlinRunApplication(int argc, char** argv) {
    using namespace tavlin;
    // An older configuration is brought up to date before anything reads it.
    Configuration::upgradeFileIfNeeded();
    // A URL handed over by the desktop ("tavlin://…") is the one argument that means something.
    std::string url;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("tavlin:", 0) == 0) url = argv[i];
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavlin"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tavlin"));
    TavlinApp app(application);
    return app.run(url);
}
