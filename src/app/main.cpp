#include <cstdio>

#include "app/CommandLine.h"

namespace {

// The application arrives in a later step.
int runApplication() {
    std::fputs("tavlin: the launcher application is not assembled yet; see the README.\n", stderr);
    return 1;
}

} // namespace

// With one of the client's commands the process only posts it and exits: no application
// object is made on that path, so it stays cheap and needs no display.
int main(int argc, char** argv) {
    if (const auto command = tavlin::parseCommandLine(argc, argv)) return tavlin::runCommandLineClient(*command);
    return runApplication();
}
