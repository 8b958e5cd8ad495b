#include "app/Application.h"

#include <cstdio>

#include "model/Configuration.h"
#include "model/Settings.h"

extern "C" int tavlinRunApplication(int, char**) {
    using namespace tavlin;
    // An older configuration is brought up to date before anything reads it.
    Configuration::upgradeFileIfNeeded();
    // Read now, applied as the activation policy once the application object exists.
    const bool hideDockIcon = settings::hideDockIcon();
    (void)hideDockIcon;
    std::fputs("tavlin: the launcher's windows and leader keys are not assembled yet; see the README.\n", stderr);
    return 1;
}
